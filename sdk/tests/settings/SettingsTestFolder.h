// A temporary base folder for the settings file, set as the settings path for
// the life of the object.
#ifndef SETTINGS_TEST_FOLDER_H
#define SETTINGS_TEST_FOLDER_H

#include "TemporaryFolder.h"
#include "settings/HalvSDKShared.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

class SettingsTestFolder {
public:
    SettingsTestFolder() {
        CFStringRef base =
            CFStringCreateWithCString(kCFAllocatorDefault, folder_.path().c_str(), kCFStringEncodingUTF8);
        HalvSetConfigFilePath(base);
        CFRelease(base);
    }
    ~SettingsTestFolder() { HalvSetConfigFilePath(nullptr); }

    std::string base() const { return folder_.path().string(); }
    // The settings file and its folder.
    std::string file() const { return configFileFullPath(); }
    std::string folder() const { return std::filesystem::path(file()).parent_path().string(); }
    std::string read(const std::string& path = "") const {
        std::ifstream in(path.empty() ? file() : path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void write(const std::string& bytes) const {
        std::filesystem::create_directories(folder());
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
    }
    // Changes whenever the file is replaced, so it tells whether a call wrote.
    ino_t inode() const {
        struct stat info {};
        return stat(file().c_str(), &info) == 0 ? info.st_ino : 0;
    }

private:
    kv::testsupport::TemporaryFolder folder_;
};

#endif
