// A temporary base folder for the settings file, set as the settings path for
// the life of the object and removed afterwards.
#ifndef SETTINGS_TEST_FOLDER_H
#define SETTINGS_TEST_FOLDER_H

#include <string>
#include <sys/types.h>

class SettingsTestFolder {
public:
    SettingsTestFolder();
    ~SettingsTestFolder();

    SettingsTestFolder(const SettingsTestFolder&) = delete;
    SettingsTestFolder& operator=(const SettingsTestFolder&) = delete;

    const std::string& base() const { return base_; }
    // The settings file and folder that the path points at.
    std::string file() const;
    std::string folder() const;

    bool exists() const;
    std::string read() const;
    void write(const std::string& bytes) const;
    // Changes whenever the file is replaced, so it tells whether a call wrote.
    ino_t inode() const;

private:
    std::string base_;
};

#endif
