// The settings file under failures around it: a read-only folder, an
// unreadable file, a full disk and a process killed while writing. Whatever
// happens, the file on disk is the old document or the new one, whole.
#include "HalvorinKeshControl.h"
#include "ReliabilitySupport.h"
#include "settings/HalvSDKShared.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>

namespace kv::reliability {
namespace {

namespace fs = std::filesystem;

// Whether `bytes` is a settings document: JSON whose "applet_settings" is an
// object. Read by a parser of its own, not the SDK's.
bool isSettingsDocument(const std::string& bytes) {
    const auto document = nlohmann::json::parse(bytes, nullptr, false);
    return !document.is_discarded() && document.is_object() && document.contains("applet_settings") &&
           document["applet_settings"].is_object();
}

class SettingsUnderFaults : public ::testing::Test {
protected:
    SettingsUnderFaults() {
        // Children that drop to another user must be able to reach the folder.
        fs::permissions(base_.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        CFStringRef base =
            CFStringCreateWithCString(kCFAllocatorDefault, base_.path().c_str(), kCFStringEncodingUTF8);
        EXPECT_TRUE(HalvSetConfigFilePath(base));
        CFRelease(base);
        file_ = configFileFullPath();
        folder_ = fs::path(file_).parent_path();
    }
    ~SettingsUnderFaults() override { HalvSetConfigFilePath(nullptr); }

    // A document with the option "speed" stored as 9.
    std::string storeSpeed() {
        double speed = 9;
        EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
        const std::string stored = readFile(file_);
        EXPECT_TRUE(isSettingsDocument(stored));
        return stored;
    }

    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TemporaryFolder base_;
    std::string file_;
    fs::path folder_;
};

// Permissions bind root only through another user: a child drops to "nobody"
// when it runs as root. 77 tells the parent that it could not.
constexpr int kCannotDropPrivileges = 77;
int dropPrivilegesIfRoot() {
    if (geteuid() != 0)
        return 0;
    if (setgid(65534) != 0 || setuid(65534) != 0)
        return kCannotDropPrivileges;
    return 0;
}

TEST_F(SettingsUnderFaults, ReadOnlyFolderStillGivesStoredValuesAndDefaultsAndChangesNothing) {
    const std::string stored = storeSpeed();
    // The file itself stays open to reading and writing (a read-only file
    // counts as one that cannot be opened); only the folder refuses changes.
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const pid_t child = forkChild([] {
        if (const int refused = dropPrivilegesIfRoot())
            return refused;
        double speed = 1;
        if (!HalvKeshGetConfigOptionNumber(L"speed", &speed) || speed != 9)
            return 1;
        // A new option cannot be stored: the default stays, nothing breaks.
        double volume = 3;
        HalvKeshGetConfigOptionNumber(L"volume", &volume);
        int red = 1, green = 2, blue = 3;
        HalvKeshGetConfigOptionColor(L"theme/text", &red, &green, &blue);
        wchar_t key[8] = L"F5";
        HalvKeshGetConfigOptionKeyInput(L"keys/go", key, sizeof key);
        HalvKeshSetConfigOptionLabel(L"speed", L"Speed");
        return volume == 3 && red == 1 && green == 2 && blue == 3 && std::wstring(key) == L"F5" ? 0 : 2;
    });
    const int result = waitForChild(child);
    fs::permissions(folder_, fs::perms::owner_all);
    if (result == kCannotDropPrivileges)
        GTEST_SKIP() << "running as root without the right to become another user";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(file_), stored);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"halv.cfg"});
}

TEST_F(SettingsUnderFaults, UnreadableFileFailsTheCallsAndKeepsTheDefaults) {
    const std::string stored = storeSpeed();
    fs::permissions(file_, fs::perms::none);
    const pid_t child = forkChild([] {
        if (const int refused = dropPrivilegesIfRoot())
            return refused;
        double speed = 1;
        bool sound = true;
        if (HalvKeshGetConfigOptionNumber(L"speed", &speed) || speed != 1)
            return 1;
        if (HalvKeshGetConfigOptionBool(L"sound", &sound) || !sound)
            return 2;
        return 0;
    });
    const int result = waitForChild(child);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    if (result == kCannotDropPrivileges)
        GTEST_SKIP() << "running as root without the right to become another user";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(file_), stored);
}

TEST_F(SettingsUnderFaults, FullDiskDuringAWriteKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
    const std::string stored = storeSpeed();
    const pid_t child = forkChild([size = stored.size()] {
        // Files may grow no larger than the stored document: writing a bigger
        // one fails with EFBIG, as on a full disk, instead of killing us.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{size, size};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 1;
        double added = 4;
        HalvKeshGetConfigOptionNumber(L"a rather long option name that makes the document grow", &added);
        double speed = 1;
        return HalvKeshGetConfigOptionNumber(L"speed", &speed) && speed == 9 ? 0 : 2;
    });
    EXPECT_EQ(waitForChild(child), 0);
    EXPECT_EQ(readFile(file_), stored);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"halv.cfg"});

    double added = 4;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"added when there is room again", &added));
    EXPECT_TRUE(isSettingsDocument(readFile(file_)));
}

TEST_F(SettingsUnderFaults, ProcessKilledWhileWritingLeavesTheOldOrTheNewFileNeverATruncatedOne) {
    storeSpeed();
    std::mt19937 random(4242);
    for (int round = 0; round < 30; ++round) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        const pid_t child = forkChild([&] {
            close(progress[0]);
            // Every call adds an option, so every call rewrites the file.
            for (int i = 0;; ++i) {
                if (write(progress[1], "x", 1) != 1)
                    return 1;
                const std::wstring key = L"round" + std::to_wstring(round) + L"/option" + std::to_wstring(i);
                double value = i;
                HalvKeshGetConfigOptionNumber(key.c_str(), &value);
            }
        });
        close(progress[1]);
        // Let the child get a few writes in, then kill it a random moment
        // later, busy rather than asleep, so the kill lands mid-call.
        const int calls = static_cast<int>(random() % 6) + 1;
        char byte = 0;
        for (int i = 0; i < calls; ++i)
            ASSERT_EQ(read(progress[0], &byte, 1), 1);
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 3000);
        while (std::chrono::steady_clock::now() < until) {
        }
        kill(child, SIGKILL);
        EXPECT_EQ(waitForChild(child), -SIGKILL);
        close(progress[0]);
        const std::string after = readFile(file_);
        ASSERT_TRUE(isSettingsDocument(after)) << "round " << round << " left:\n" << after;
    }
    double speed = 1;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_EQ(speed, 9);
}

} // namespace
} // namespace kv::reliability
