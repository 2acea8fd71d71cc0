#include "SettingsTestFolder.h"

#include "settings/HalvSDKShared.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

SettingsTestFolder::SettingsTestFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/halv-settings-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "cannot make a temporary folder";
    base_ = pattern;
    CFStringRef base = CFStringCreateWithCString(kCFAllocatorDefault, base_.c_str(), kCFStringEncodingUTF8);
    EXPECT_TRUE(HalvSetConfigFilePath(base));
    CFRelease(base);
}

SettingsTestFolder::~SettingsTestFolder() {
    HalvSetConfigFilePath(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(base_, ignored);
}

std::string SettingsTestFolder::file() const {
    return configFileFullPath();
}

std::string SettingsTestFolder::folder() const {
    return std::filesystem::path(file()).parent_path().string();
}

bool SettingsTestFolder::exists() const {
    return std::filesystem::exists(file());
}

std::string SettingsTestFolder::read() const {
    std::ifstream in(file(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void SettingsTestFolder::write(const std::string& bytes) const {
    std::filesystem::create_directories(folder());
    std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
}

ino_t SettingsTestFolder::inode() const {
    struct stat info {};
    return stat(file().c_str(), &info) == 0 ? info.st_ino : 0;
}
