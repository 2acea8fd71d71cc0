// A settings file that is not a plain readable one is never replaced; no call hangs or fills the memory.
#include "HalvorinKeshControl.h"
#include "TemporaryFolder.h"
#include "settings/HalvSDKShared.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kSpeedNine = R"({"applet_settings":{"kesh":[{"key":"misc","type":"group","value":[)"
                               R"({"key":"speed","type":"number","value":9}]}]}})";

// Runs `ask` in a child as the folder's owner (root becomes "nobody": permissions bind root only
// through another user). The child's exit code, -signal, or -1000 when it took over 10 s.
int askAsOwner(const fs::path& base, const std::function<int()>& ask) {
    const std::string handOver =
        "cd '" + base.string() + "' && chmod o+x . && chown -hR 65534:65534 Halvorin";
    if (geteuid() == 0 && std::system(handOver.c_str()) != 0)
        return 77;
    int done[2];
    EXPECT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            std::_Exit(77);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // A reader that never stops must not take the machine with it (not under the sanitizers).
        const rlimit space{1UL << 30, 1UL << 30};
        setrlimit(RLIMIT_AS, &space);
#endif
        const int result = ask();
        std::_Exit(write(done[1], "x", 1) == 1 ? result : 99);
    }
    close(done[1]);
    pollfd finished{done[0], POLLIN, 0};
    const bool ended = poll(&finished, 1, 10000) == 1;
    if (!ended)
        kill(child, SIGKILL);
    close(done[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return !ended ? -1000 : WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Each file of a folder by name: the target of a link, or its size and a hash of its bytes.
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string& seen = contents[entry.path().filename()];
        if (entry.is_symlink()) {
            seen = "-> " + fs::read_symlink(entry).string();
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        seen =
            std::to_string(bytes.size()) + " bytes, hash " + std::to_string(std::hash<std::string>()(bytes));
    }
    return contents;
}

} // namespace

TEST(SettingsFaults, FilesThatAreNotPlainReadableFilesAreNeverReplaced) {
    const struct {
        const char* change; // run in the settings folder
        bool readable;      // the stored value comes back
        bool limitFileSize; // to the file's size, SIGXFSZ keeping its default action
    } cases[] = {{"chmod 200 halv.cfg", false, false},
                 {"chmod 400 halv.cfg", true, false},
                 {"chmod 500 .", true, false},
                 {"mkfifo ../fifo && ln -sf ../fifo halv.cfg", false, false},
                 {"ln -sf /dev/zero halv.cfg", false, false},
                 {"truncate -s 17M halv.cfg", false, false},
                 {"true", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        kv::testsupport::TemporaryFolder base;
        CFStringRef path =
            CFStringCreateWithCString(kCFAllocatorDefault, base.path().c_str(), kCFStringEncodingUTF8);
        ASSERT_TRUE(HalvSetConfigFilePath(path));
        CFRelease(path);
        const fs::path file = configFileFullPath();
        fs::create_directories(file.parent_path());
        std::ofstream(file) << kSpeedNine;
        const rlimit limit{kSpeedNine.size(), kSpeedNine.size()};
        ASSERT_EQ(std::system(("cd '" + file.parent_path().string() + "' && " + c.change).c_str()), 0);
        const auto before = contentsOf(file.parent_path());
        const int result = askAsOwner(base.path(), [&] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const long peak = usage.ru_maxrss;
            if (c.limitFileSize && setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 1;
            double speed = 1, added = 3;
            const bool found = HalvKeshGetConfigOptionNumber(L"speed", &speed);
            const bool addedOk = HalvKeshGetConfigOptionNumber(L"added", &added);
            getrusage(RUSAGE_SELF, &usage);
            if (usage.ru_maxrss - peak > 64 * 1024)
                return 2; // read far more than any settings file holds
            if (c.readable)
                return found && speed == 9 && addedOk && added == 3 ? 0 : 3;
            return !found && !addedOk && speed == 1 && added == 3 ? 0 : 4;
        });
        if (result == 77)
            GTEST_SKIP() << "running as root without the right to become another user";
        EXPECT_EQ(result, 0);
        fs::permissions(file.parent_path(), fs::perms::owner_all);
        EXPECT_EQ(contentsOf(file.parent_path()), before) << "the file stays, and no temporary file is left";
        HalvSetConfigFilePath(nullptr);
    }
}
