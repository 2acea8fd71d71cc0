#include "HalvorinKeshControl.h"
#include "SettingsTestFolder.h"
#include "settings/HalvConfigOptions.h"
#include "settings/HalvSDKShared.h"

#include <gtest/gtest.h>

#include <array>
#include <cwchar>
#include <string>

namespace {

// A settings file with one group holding the given options.
std::string withGroup(const std::string& group, const std::string& options) {
    return "{\"applet_settings\":{\"kesh\":[{\"key\":\"" + group + "\",\"type\":\"group\",\"value\":[" +
           options + "]}]}}";
}

std::string option(const std::string& key, const std::string& type, const std::string& value) {
    return "{\"key\":\"" + key + "\",\"type\":\"" + type + "\",\"value\":" + value + "}";
}

} // namespace

TEST(ConfigOptions, ExampleCallsWriteTheDocumentedFile) {
    SettingsTestFolder folder;
    double speed = 5;
    int red = 255, green = 128, blue = 0;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_TRUE(HalvKeshGetConfigOptionColor(L"theme/text", &red, &green, &blue));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"speed", L"Scroll speed"));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"theme", L"Theme"));
    const std::string expected = R"({
"applet_settings": {
  "kesh": [
    {
      "key": "misc",
      "type": "group",
      "value": [
        {
          "key": "speed",
          "label": "Scroll speed",
          "type": "number",
          "value": 5
          }
        ]
      },
    {
      "key": "theme",
      "label": "Theme",
      "type": "group",
      "value": [
        {
          "key": "text",
          "type": "color",
          "value": {
            "blue": 0,
            "green": 128,
            "red": 255
            }
          }
        ]
      }
    ]
  }
})";
    EXPECT_EQ(folder.read(), expected);

    // Asking again finds everything stored and writes nothing.
    const ino_t written = folder.inode();
    speed = 1;
    red = green = blue = 9;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_TRUE(HalvKeshGetConfigOptionColor(L"theme/text", &red, &green, &blue));
    EXPECT_EQ(speed, 5);
    EXPECT_EQ((std::array{red, green, blue}), (std::array{255, 128, 0}));
    EXPECT_EQ(folder.inode(), written);
}

TEST(ConfigOptions, StoredValuesWinAndAreReadWithoutWriting) {
    SettingsTestFolder folder;
    // Of two equal options only the first is read; colours are truncated toward zero, never clamped.
    folder.write(withGroup("misc", option("speed", "number", "7") + "," + option("speed", "number", "2") +
                                       "," + option("on", "bool", "true") + "," +
                                       option("k", "keyinput", "\"Ctrl+\\u00C4\"") + "," +
                                       option("c", "color", "{\"red\":12.9,\"green\":300,\"blue\":-1.5}")));
    const ino_t before = folder.inode();
    double speed = 5;
    bool on = false;
    wchar_t key[8] = L"F1";
    int red = 1, green = 2, blue = 3;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_TRUE(HalvKeshGetConfigOptionBool(L"on", &on));
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"k", key, sizeof key));
    EXPECT_TRUE(HalvKeshGetConfigOptionColor(L"c", &red, &green, &blue));
    EXPECT_EQ(speed, 7);
    EXPECT_TRUE(on);
    EXPECT_EQ(std::wstring(key), L"Ctrl+\u00C4");
    EXPECT_EQ(std::wmemcmp(key + 6, L"\0\0", 2), 0) << "the rest of the buffer is cleared";
    EXPECT_EQ((std::array{red, green, blue}), (std::array{12, 300, -1}));
    EXPECT_EQ(folder.inode(), before);
}

TEST(ConfigOptions, MissingOptionsAreAddedWithTheDefaultAndKeepIt) {
    SettingsTestFolder folder;
    double speed = 5;
    bool on = true;
    wchar_t key[8] = L"F1";
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_TRUE(HalvKeshGetConfigOptionBool(L"speed", &on));
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"g/k", key, sizeof key));
    EXPECT_EQ(speed, 5);
    EXPECT_TRUE(on);
    EXPECT_EQ(std::wstring(key), L"F1");
    // One name, two types: the bool is a second option beside the number.
    const std::string text = folder.read();
    EXPECT_NE(text.find("\"key\": \"speed\",\n          \"type\": \"number\",\n          \"value\": 5"),
              std::string::npos);
    EXPECT_NE(text.find("\"key\": \"speed\",\n          \"type\": \"bool\",\n          \"value\": true"),
              std::string::npos);
    EXPECT_NE(text.find("\"key\": \"k\",\n          \"type\": \"keyinput\",\n          \"value\": \"F1\""),
              std::string::npos);
}

TEST(ConfigOptions, KeysNameAGroupAndAnOptionSplitAtTheFirstSlash) {
    SettingsTestFolder folder;
    double value = 1;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"a/b/c", &value));
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"/x", &value));
    EXPECT_FALSE(HalvKeshGetConfigOptionNumber(L"a/b/c/d", &value));
    ASSERT_TRUE(readJsonFromFile());
    const JSONValueList& groups = g_firstNodeJsonValue->Child(L"kesh")->AsArray();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0]->Child(L"key")->AsString(), L"a");
    EXPECT_EQ(groups[0]->Child(L"value")->Child(0)->Child(L"key")->AsString(), L"b/c");
    EXPECT_EQ(groups[1]->Child(L"key")->AsString(), L"");
    EXPECT_EQ(groups[1]->Child(L"value")->Child(0)->Child(L"key")->AsString(), L"x");
}

TEST(ConfigOptions, BadArgumentsFailButStillCreateTheFile) {
    SettingsTestFolder folder;
    double number = 1;
    bool flag = false;
    int component = 0;
    wchar_t text[4] = L"";
    EXPECT_FALSE(HalvKeshGetConfigOptionNumber(nullptr, &number));
    EXPECT_TRUE(folder.exists());
    EXPECT_EQ(folder.read(), "");
    EXPECT_FALSE(HalvKeshGetConfigOptionNumber(L"n", nullptr));
    EXPECT_FALSE(HalvKeshGetConfigOptionBool(L"b", nullptr));
    EXPECT_FALSE(HalvKeshGetConfigOptionColor(L"c", &component, nullptr, &component));
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", nullptr, 16));
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", text, 0));
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", text, -4));
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(nullptr, L"x"));
    EXPECT_FALSE(PrivateHalvGetConfigOptionBool(L"b", &flag, 7)) << "unknown section kind";
    EXPECT_EQ(folder.read(), "") << "no failed call writes";
}

TEST(ConfigOptions, CallsFailWithoutASettingsPath) {
    HalvSetConfigFilePath(nullptr);
    double number = 3;
    wchar_t text[4] = L"ab";
    EXPECT_FALSE(HalvKeshGetConfigOptionNumber(L"n", &number));
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", text, sizeof text));
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"misc", L"x"));
    EXPECT_EQ(number, 3);
}

TEST(ConfigOptions, KeyInputMustFitTheBufferWithItsTerminator) {
    SettingsTestFolder folder;
    folder.write(withGroup("misc", option("k", "keyinput", "\"abcd\"")));
    wchar_t exact[4] = {L'x', L'y', L'\0', L'\0'};
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", exact, sizeof exact));
    EXPECT_EQ(std::wstring(exact), L"xy");
    // The capacity is the byte count divided by four, rounded down.
    wchar_t roomy[5] = L"xy";
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", roomy, sizeof exact + 3));
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"k", roomy, sizeof roomy));
    EXPECT_EQ(std::wstring(roomy), L"abcd");
}

TEST(ConfigOptions, KeyInputDefaultIsStoredUpToItsTerminatorWithinTheBuffer) {
    SettingsTestFolder folder;
    wchar_t empty[6] = {L'\0', L'j', L'u', L'n', L'k', L'\0'};
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"empty", empty, sizeof empty));
    wchar_t unterminated[3] = {L'a', L'b', L'c'};
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"full", unterminated, sizeof unterminated));
    const std::string text = folder.read();
    EXPECT_NE(
        text.find("\"key\": \"empty\",\n          \"type\": \"keyinput\",\n          \"value\": \"\"\n"),
        std::string::npos);
    EXPECT_NE(text.find("\"value\": \"abc\""), std::string::npos);
}

TEST(ConfigOptions, StoredValueOfTheWrongKindKeepsTheDefault) {
    SettingsTestFolder folder;
    folder.write(withGroup("misc", option("n", "number", "\"7\"") + "," + option("b", "bool", "1") + "," +
                                       option("k", "keyinput", "42") + "," +
                                       option("c1", "color", "[1,2,3]") + "," +
                                       option("c2", "color", "{\"red\":1,\"green\":2}") + "," +
                                       option("c3", "color", "{\"red\":1,\"green\":2,\"blue\":3e10}") + "," +
                                       option("c4", "color", "{\"red\":1,\"green\":2,\"blue\":1e400}") + "," +
                                       "{\"key\":\"m\",\"type\":\"number\"}"));
    const std::string before = folder.read();
    double number = 5, missing = 6;
    bool flag = true;
    wchar_t key[4] = L"F2";
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"n", &number));
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"m", &missing));
    EXPECT_TRUE(HalvKeshGetConfigOptionBool(L"b", &flag));
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"k", key, sizeof key));
    EXPECT_EQ(number, 5);
    EXPECT_EQ(missing, 6);
    EXPECT_TRUE(flag);
    EXPECT_EQ(std::wstring(key), L"F2");
    for (const wchar_t* colour : {L"c1", L"c2", L"c3", L"c4"}) {
        int red = 10, green = 20, blue = 30;
        EXPECT_TRUE(HalvKeshGetConfigOptionColor(colour, &red, &green, &blue));
        EXPECT_EQ((std::array{red, green, blue}), (std::array{10, 20, 30}));
    }
    EXPECT_EQ(folder.read(), before);
}

TEST(ConfigOptions, BrokenSchemaNeverCrashesAndKeepsTheDefault) {
    const std::string brokenFiles[] = {
        "{\"applet_settings\":{\"kesh\":{}}}",
        "{\"applet_settings\":{\"kesh\":[{\"key\":\"misc\",\"type\":\"group\"}]}}",
        "{\"applet_settings\":{\"kesh\":[{\"key\":\"misc\",\"type\":\"group\",\"value\":3}]}}",
    };
    for (const std::string& text : brokenFiles) {
        SettingsTestFolder folder;
        folder.write(text);
        double number = 5;
        EXPECT_FALSE(HalvKeshGetConfigOptionNumber(L"speed", &number)) << text;
        EXPECT_EQ(number, 5);
        EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"misc/speed", L"x"));
        EXPECT_EQ(folder.read(), text) << "nothing of the user's is overwritten";
    }

    // Elements that are not objects or lack a "key" or "type" never match.
    SettingsTestFolder folder;
    folder.write("{\"applet_settings\":{\"kesh\":[1,null,{\"type\":\"group\",\"value\":[]},"
                 "{\"key\":\"misc\",\"value\":[]},{\"key\":\"misc\",\"type\":\"group\",\"value\":[7,"
                 "{\"key\":\"speed\",\"value\":1},{\"key\":3,\"type\":\"number\",\"value\":2}]}]}}");
    double number = 5;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &number));
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &number)) << "found the option just added";
    ASSERT_TRUE(readJsonFromFile());
    EXPECT_EQ(g_firstNodeJsonValue->Child(L"kesh")->CountChildren(), 5u);
}

TEST(ConfigOptions, LabelsAttachToGroupsAndOptionsThatExist) {
    SettingsTestFolder folder;
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"misc", L"x")) << "no section before any getter";
    EXPECT_EQ(folder.read(), "");

    double speed = 5;
    int red = 0, green = 0, blue = 0;
    ASSERT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    ASSERT_TRUE(HalvKeshGetConfigOptionColor(L"g/o", &red, &green, &blue));
    const ino_t before = folder.inode();
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"nosuch", L"x"));
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"g/nosuch", L"x"));
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"a/b/c/d", L"x"));
    EXPECT_EQ(folder.inode(), before) << "a failed label writes nothing";

    const std::wstring longLabel(200, L'L');
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"misc", L"Old"));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"misc", L"Miscellaneous"));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"speed", longLabel.c_str()));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"g/o", longLabel.c_str()));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"g/", L"Group g"));

    ASSERT_TRUE(readJsonFromFile());
    JSONValue* misc = g_firstNodeJsonValue->Child(L"kesh")->Child(0);
    JSONValue* g = g_firstNodeJsonValue->Child(L"kesh")->Child(1);
    EXPECT_EQ(misc->Child(L"label")->AsString(), L"Miscellaneous");
    EXPECT_EQ(misc->Child(L"value")->Child(0)->Child(L"label")->AsString(), longLabel);
    EXPECT_EQ(g->Child(L"value")->Child(0)->Child(L"label")->AsString(), longLabel.substr(0, 128));
    EXPECT_EQ(g->Child(L"label")->AsString(), L"Group g");
}
