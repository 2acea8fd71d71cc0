#include "HalvSDKShared.h"
#include "JSON.h"
#include "SettingsTestFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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
