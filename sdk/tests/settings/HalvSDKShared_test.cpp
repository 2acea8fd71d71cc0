#include "HalvorinKeshControl.h"
#include "SettingsTestFolder.h"
#include "settings/HalvSDKShared.h"
#include "settings/JSON.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kDefaultDocument[] = "{\n\"applet_settings\": {\n  }\n}";

// Makes the document hold one option so that a write has something to add.
void addSection() {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    g_firstNodeJsonValue->AsMutableObject()[L"kesh"] = new JSONValue(JSONValueList());
}

bool read() {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    return readJsonFromFile();
}

void dump() {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    dumpJsonToFile();
}

} // namespace

TEST(SettingsPath, IsTheDigestFolderOfTheApplicationUnderTheBase) {
    SettingsTestFolder folder;
    const std::string name = settingsFolderName(mainBundlePath());
    EXPECT_EQ(folder.file(), folder.base() + "/Halvorin/Gaming/Applets/" + name + "/halv.cfg");
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(name.size(), 40u);
    EXPECT_EQ(fs::path(mainBundlePath()), fs::canonical("/proc/self/exe").parent_path());

    EXPECT_EQ(settingsFolderName("/opt/a"), settingsFolderName("/opt/a"));
    EXPECT_NE(settingsFolderName("/opt/a"), settingsFolderName("/opt/b"));
    EXPECT_EQ(settingsFolderName("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");

    // Without a base there is no path, and reads fail rather than guess one.
    EXPECT_FALSE(HalvSetConfigFilePath(nullptr));
    EXPECT_EQ(configFileFullPath(), "");
    EXPECT_FALSE(read());
}

TEST(SettingsPath, AppletWithoutInitUsesTheUserDataFolder) {
    SettingsTestFolder folder;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous != nullptr ? previous : "";
    const std::string base = folder.base() + "/data";
    setenv("XDG_DATA_HOME", base.c_str(), 1);
    EXPECT_TRUE(SetConfigFileForApplet());
    EXPECT_EQ(configFileFullPath().rfind(base + "/Halvorin/Gaming/Applets/", 0), 0u);
    if (previous != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

TEST(SettingsFile, MissingFolderAndFileAreCreatedEmptyAndReadAsTheDefault) {
    SettingsTestFolder folder;
    ASSERT_FALSE(fs::exists(folder.folder()));
    ASSERT_TRUE(read());
    EXPECT_TRUE(folder.exists());
    EXPECT_EQ(folder.read(), "");
    EXPECT_EQ(JSON::Stringify(g_configJsonValue), L"{\n\"applet_settings\": {\n  }\n}");
    ASSERT_NE(g_firstNodeJsonValue, nullptr);
    EXPECT_TRUE(g_firstNodeJsonValue->IsObject());

    // An empty file is the default document, not an unreadable one.
    dump();
    EXPECT_EQ(folder.read(), kDefaultDocument);
    EXPECT_FALSE(fs::exists(folder.file() + ".bad"));
    addSection();
    dump();
    EXPECT_EQ(folder.read(), "{\n\"applet_settings\": {\n  \"kesh\": [\n    ]\n  }\n}");
}

TEST(SettingsFile, FolderThatCannotBeMadeGivesFalse) {
    SettingsTestFolder folder;
    // The base is a plain file, so nothing can be created below it.
    std::ofstream(folder.base() + "/Halvorin") << "x";
    EXPECT_FALSE(read());
}

TEST(SettingsFile, UnusableContentsAreReadAsTheDefaultAndKeptBesideTheNewFile) {
    for (const std::string& bad :
         std::initializer_list<std::string>{"{\"a\":", "[]", "{}", "{\"applet_settings\":[]}", "  ",
                                            std::string("{\"applet_settings\":{}}\0junk", 27), "\"\xC3(\""}) {
        SettingsTestFolder folder;
        folder.write(bad);
        ASSERT_TRUE(read());
        EXPECT_EQ(JSON::Stringify(g_configJsonValue), L"{\n\"applet_settings\": {\n  }\n}");
        EXPECT_EQ(folder.read(), bad) << "reading alone never writes";
        addSection();
        dump();
        EXPECT_EQ(folder.read(), "{\n\"applet_settings\": {\n  \"kesh\": [\n    ]\n  }\n}");
        std::ifstream kept(folder.file() + ".bad", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), bad);
    }
}

TEST(SettingsFile, ReadWriteKeepsSdkTextAndSortsForeignText) {
    SettingsTestFolder folder;
    const std::string sdkText = "{\n\"applet_settings\": {\n  \"kesh\": [\n    ],\n  \"led\": 1\n  }\n}";
    folder.write(sdkText);
    ASSERT_TRUE(read());
    dump();
    EXPECT_EQ(folder.read(), sdkText);

    // Foreign text: any member order, duplicates, non-ASCII bytes.
    folder.write("{\"applet_settings\":{\"z\":\"caf\xC3\xA9\",\"a\":1,\"a\":2}}");
    ASSERT_TRUE(read());
    dump();
    EXPECT_EQ(folder.read(), "{\n\"applet_settings\": {\n  \"a\": 2,\n  \"z\": \"caf\\u00E9\"\n  }\n}");
    EXPECT_FALSE(fs::exists(folder.file() + ".bad"));
}

TEST(SettingsFile, WriteReplacesTheFileWholeAndKeepsItsPermissions) {
    SettingsTestFolder folder;
    folder.write(kDefaultDocument);
    fs::permissions(folder.file(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const ino_t before = folder.inode();
    ASSERT_TRUE(read());
    addSection();
    dump();

    EXPECT_NE(folder.inode(), before) << "a new file is renamed over the old one";
    EXPECT_EQ(fs::status(folder.file()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.folder()))
        ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
}

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

std::string withSpeed(int speed) {
    return "{\"applet_settings\":{\"kesh\":[{\"key\":\"misc\",\"type\":\"group\",\"value\":[{\"key\":"
           "\"speed\","
           "\"type\":\"number\",\"value\":" +
           std::to_string(speed) + "}]}]}}";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `ask` in a child process, as the owner of the settings folder: root
// hands the folder to "nobody" and becomes it, since permissions bind root
// only through another user. Returns the child's exit code, -signal when a
// signal ended it, or -1000 when it did not finish within 10 s.
int askAsOwner(const SettingsTestFolder& folder, const std::function<int()>& ask) {
    if (geteuid() == 0) {
        fs::permissions(folder.base(), fs::perms::owner_all | fs::perms::others_exec);
        for (const auto& entry : fs::recursive_directory_iterator(folder.base() + "/Halvorin"))
            lchown(entry.path().c_str(), 65534, 65534);
    }
    int done[2];
    EXPECT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            std::_Exit(77);
        // A reader that never stops must not take the machine with it. The
        // sanitizers reserve more address space than any limit allows.
        const rlimit space{1UL << 30, 1UL << 30};
        if (!kSanitized)
            setrlimit(RLIMIT_AS, &space);
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
    if (!ended)
        return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// What the files of the settings folder are, by name: size and hash of the
// bytes, or the target of a link.
std::map<std::string, std::string> folderContents(const SettingsTestFolder& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder.folder())) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = entry.is_symlink() ? "" : readFile(entry.path());
        contents[name] = entry.is_symlink() ? "-> " + fs::read_symlink(entry).string()
                                            : std::to_string(bytes.size()) + " bytes, hash " +
                                                  std::to_string(std::hash<std::string>()(bytes));
    }
    return contents;
}

} // namespace

TEST(SettingsFile, FilesThatAreNotPlainReadableFilesAreNeverReplaced) {
    const std::string stored = withSpeed(9);
    struct Case {
        const char* what;
        std::function<void(SettingsTestFolder&)> prepare;
        bool readable; // the stored value comes back
    } cases[] = {
        {"write-only file", [](SettingsTestFolder& f) { fs::permissions(f.file(), fs::perms::owner_write); },
         false},
        {"read-only file", [](SettingsTestFolder& f) { fs::permissions(f.file(), fs::perms::owner_read); },
         true},
        {"read-only folder",
         [](SettingsTestFolder& f) {
             fs::permissions(f.folder(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         true},
        {"link to a FIFO",
         [](SettingsTestFolder& f) {
             fs::remove(f.file());
             mkfifo((f.base() + "/fifo").c_str(), 0666);
             fs::create_symlink(f.base() + "/fifo", f.file());
         },
         false},
        {"link to /dev/zero",
         [](SettingsTestFolder& f) {
             fs::remove(f.file());
             fs::create_symlink("/dev/zero", f.file());
         },
         false},
        {"file over 16 MiB", [](SettingsTestFolder& f) { fs::resize_file(f.file(), 17 << 20); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsTestFolder folder;
        folder.write(stored);
        c.prepare(folder);
        const auto before = folderContents(folder);
        const int result = askAsOwner(folder, [&] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const long peak = usage.ru_maxrss;
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
        fs::permissions(folder.folder(), fs::perms::owner_all);
        EXPECT_EQ(folderContents(folder), before);
    }
}

TEST(SettingsFile, AWriteOverTheFileSizeLimitKeepsTheOldFileAndLeavesNoTemporary) {
    SettingsTestFolder folder;
    folder.write(withSpeed(9));
    const auto before = folderContents(folder);
    const int result = askAsOwner(folder, [size = fs::file_size(folder.file())] {
        // SIGXFSZ keeps its default action: the process ends if it is raised.
        const rlimit limit{size, size};
        double added = 3;
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 && HalvKeshGetConfigOptionNumber(L"added", &added) ? 0
                                                                                                       : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(folderContents(folder), before);
}
