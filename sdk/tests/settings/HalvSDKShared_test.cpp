#include "HalvorinKeshControl.h"
#include "SettingsTestFolder.h"
#include "settings/JSON.h"

#include <gtest/gtest.h>

#include <optional>

namespace fs = std::filesystem;

namespace {

const std::string kDefaultDocument = "{\n\"applet_settings\": {\n  }\n}";
const std::string kWithSection = "{\n\"applet_settings\": {\n  \"kesh\": [\n    ]\n  }\n}";

bool read() {
    std::lock_guard lock(g_settingsMutex);
    return readJsonFromFile();
}

// Adds an empty section, so that a write has something new, and writes.
void addSectionAndWrite() {
    std::lock_guard lock(g_settingsMutex);
    JSONValue*& section = g_firstNodeJsonValue->AsMutableObject()[L"kesh"];
    delete section;
    section = new JSONValue(JSONValueList());
    dumpJsonToFile();
}

} // namespace

TEST(SettingsPath, IsTheDigestFolderOfTheApplicationUnderTheDataFolder) {
    SettingsTestFolder folder;
    const std::string applets = "/Halvorin/Gaming/Applets/";
    EXPECT_EQ(folder.file(), folder.base() + applets + settingsFolderName(mainBundlePath()) + "/halv.cfg");
    EXPECT_EQ(fs::path(mainBundlePath()), fs::canonical("/proc/self/exe").parent_path());
    EXPECT_EQ(settingsFolderName("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // Without a base there is no path, and reads fail rather than guess one.
    EXPECT_FALSE(HalvSetConfigFilePath(nullptr));
    EXPECT_FALSE(read());
    // The data folder is an absolute XDG_DATA_HOME, else the home's.
    setenv("HOME", "/home/tester", 1);
    for (const auto& [data, base] :
         {std::pair<std::string, std::string>{folder.base() + "/data/", folder.base() + "/data"},
          {"", "/home/tester/.local/share"},
          {"relative", "/home/tester/.local/share"}}) {
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        EXPECT_TRUE(SetConfigFileForApplet());
        EXPECT_EQ(configFileFullPath().rfind(base + applets, 0), 0u) << configFileFullPath();
    }
}

TEST(SettingsFile, MissingEmptyOrUnusableFilesAreReadAsTheDefaultAndUnusableOnesKeptBesideTheNewFile) {
    const std::optional<std::string> contents[] = {std::nullopt,
                                                   "",
                                                   "{\"a\":",
                                                   "[]",
                                                   "{\"applet_settings\":[]}",
                                                   std::string("{\"applet_settings\":{}}\0junk", 27),
                                                   "\"\xC3(\""};
    for (const auto& bad : contents) {
        SettingsTestFolder folder;
        if (bad)
            folder.write(*bad);
        ASSERT_TRUE(read()) << "a missing folder and file are made";
        EXPECT_EQ(JSON::StringifyBytes(g_configJsonValue), kDefaultDocument);
        EXPECT_EQ(folder.read(), bad.value_or("")) << "reading alone never writes";
        addSectionAndWrite();
        EXPECT_EQ(folder.read(), kWithSection);
        EXPECT_EQ(folder.read(folder.file() + ".bad"), bad.value_or(""))
            << "an empty file is no unusable one";
    }
    SettingsTestFolder blocked;
    std::ofstream(blocked.base() + "/Halvorin") << "x"; // nothing can be made below a plain file
    EXPECT_FALSE(read());
}

TEST(SettingsFile, WritesKeepSdkTextAndReplaceTheFileWholeWithItsPermissions) {
    SettingsTestFolder folder;
    const std::string sdkText = "{\n\"applet_settings\": {\n  \"kesh\": [\n    ],\n  \"led\": 1\n  }\n}";
    folder.write(sdkText);
    fs::permissions(folder.file(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const ino_t before = folder.inode();
    ASSERT_TRUE(read());
    addSectionAndWrite();
    EXPECT_EQ(folder.read(), sdkText) << "read and written again, byte for byte the same";
    EXPECT_NE(folder.inode(), before) << "a new file is renamed over the old one";
    EXPECT_EQ(fs::status(folder.file()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.folder()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
    // Foreign text: any member order, duplicates, non-ASCII bytes.
    folder.write("{\"applet_settings\":{\"z\":\"caf\xC3\xA9\",\"a\":1,\"a\":2}}");
    ASSERT_TRUE(read());
    addSectionAndWrite();
    EXPECT_EQ(
        folder.read(),
        "{\n\"applet_settings\": {\n  \"a\": 2,\n  \"kesh\": [\n    ],\n  \"z\": \"caf\\u00E9\"\n  }\n}");
}
