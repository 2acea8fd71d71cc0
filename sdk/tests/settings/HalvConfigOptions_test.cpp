#include "HalvorinKeshControl.h"
#include "SettingsTestFolder.h"
#include "settings/HalvConfigOptions.h"

#include <gtest/gtest.h>

#include <array>
#include <cwchar>

namespace {

// A settings file with the group "misc" holding the given options.
std::string misc(const std::string& options) {
    return R"({"applet_settings":{"kesh":[{"key":"misc","type":"group","value":[)" + options + "]}]}}";
}

std::string option(const std::string& key, const std::string& type, const std::string& value) {
    return R"({"key":")" + key + R"(","type":")" + type + R"(","value":)" + value + "},";
}

} // namespace

TEST(ConfigOptions, MissingOptionsAndLabelsWriteTheDocumentedFileAndAreFoundAgainWithoutWriting) {
    SettingsTestFolder folder;
    double speed = 5;
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"speed", L"x")) << "labels attach only to what exists";
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"speed", L"Scroll speed"));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"misc", L"Misc"));
    EXPECT_FALSE(HalvKeshSetConfigOptionLabel(L"misc/nosuch", L"x"));
    EXPECT_EQ(folder.read(), R"({
"applet_settings": {
  "kesh": [
    {
      "key": "misc",
      "label": "Misc",
      "type": "group",
      "value": [
        {
          "key": "speed",
          "label": "Scroll speed",
          "type": "number",
          "value": 5
          }
        ]
      }
    ]
  }
})");
    const ino_t written = folder.inode();
    speed = 1;
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed));
    EXPECT_EQ(speed, 5);
    EXPECT_EQ(folder.inode(), written);
}

TEST(ConfigOptions, StoredValuesWinUnlessTheyAreOfAnotherKind) {
    SettingsTestFolder folder;
    folder.write(misc(option("speed", "number", "7") + option("speed", "number", "2") +
                      option("on", "bool", "true") + option("k", "keyinput", R"("Ctrl+\u00C4")") +
                      option("n", "number", R"("7")") +
                      option("c", "color", R"({"red":12.9,"green":300,"blue":-1.5})") +
                      option("c2", "color", R"({"red":1,"green":2})") + option("l", "keyinput", R"("abcd")") +
                      R"({"key":"m","type":"number"})"));
    const ino_t before = folder.inode();
    double speed = 5, n = 5, m = 6;
    bool on = false;
    wchar_t key[8] = L"F1", shortKey[4] = L"xy";
    int rgb[] = {1, 2, 3}, rgb2[] = {1, 2, 3};
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"speed", &speed) && HalvKeshGetConfigOptionBool(L"on", &on) &&
                HalvKeshGetConfigOptionKeyInput(L"k", key, sizeof key) &&
                HalvKeshGetConfigOptionNumber(L"n", &n) && HalvKeshGetConfigOptionNumber(L"m", &m) &&
                HalvKeshGetConfigOptionColor(L"c", &rgb[0], &rgb[1], &rgb[2]) &&
                HalvKeshGetConfigOptionColor(L"c2", &rgb2[0], &rgb2[1], &rgb2[2]));
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"l", shortKey, sizeof shortKey))
        << "no room for the terminator";
    EXPECT_EQ(speed, 7) << "of two equal options only the first is read";
    EXPECT_TRUE(on);
    EXPECT_EQ(std::wstring(key), L"Ctrl+\u00C4");
    EXPECT_EQ(std::wmemcmp(key + 6, L"\0\0", 2), 0) << "the rest of the buffer is cleared";
    EXPECT_EQ((std::array{n, m}), (std::array{5.0, 6.0}));
    EXPECT_EQ((std::array{rgb[0], rgb[1], rgb[2]}), (std::array{12, 300, -1})) << "truncated, never clamped";
    EXPECT_EQ((std::array{rgb2[0], rgb2[1], rgb2[2]}), (std::array{1, 2, 3}));
    EXPECT_EQ(std::wstring(shortKey), L"xy");
    EXPECT_EQ(folder.inode(), before) << "nothing was added, so nothing was written";
}

TEST(ConfigOptions, KeysNameAGroupAndAnOptionOfAType) {
    SettingsTestFolder folder;
    double number = 1;
    bool flag = true;
    wchar_t empty[6] = {L'\0', L'j', L'u', L'n', L'k', L'\0'};
    EXPECT_TRUE(HalvKeshGetConfigOptionNumber(L"a/b/c", &number));
    EXPECT_TRUE(HalvKeshGetConfigOptionBool(L"a/b/c", &flag)) << "one name, another type: a second option";
    EXPECT_TRUE(HalvKeshGetConfigOptionKeyInput(L"/x", empty, sizeof empty));
    EXPECT_TRUE(HalvKeshSetConfigOptionLabel(L"a/b/c", std::wstring(200, L'L').c_str()));
    EXPECT_FALSE(HalvKeshGetConfigOptionNumber(L"a/b/c/d", &number));
    EXPECT_FALSE(HalvKeshGetConfigOptionBool(L"b", nullptr));
    EXPECT_FALSE(HalvKeshGetConfigOptionKeyInput(L"k", empty, 0));
    ASSERT_TRUE(readJsonFromFile());
    JSONValue* a = g_firstNodeJsonValue->Child(L"kesh")->Child(0)->Child(L"value");
    EXPECT_EQ(a->Child(0)->Child(L"key")->AsString(), L"b/c");
    EXPECT_EQ(a->Child(1)->Child(L"type")->AsString(), L"bool");
    EXPECT_EQ(a->Child(0)->Child(L"label")->AsString(), std::wstring(128, L'L'));
    JSONValue* x = g_firstNodeJsonValue->Child(L"kesh")->Child(1)->Child(L"value")->Child(0);
    EXPECT_EQ(x->Child(L"key")->AsString(), L"x");
    EXPECT_EQ(x->Child(L"value")->AsString(), L"") << "an empty default stays empty";
    // A group or section that is not an array holds no options: false, and
    // nothing of the user's is overwritten.
    for (const std::string broken :
         {R"({"applet_settings":{"kesh":{}}})",
          R"({"applet_settings":{"kesh":[{"key":"misc","type":"group","value":3}]}})"}) {
        folder.write(broken);
        EXPECT_FALSE(HalvKeshGetConfigOptionNumber(L"speed", &number)) << broken;
        EXPECT_EQ(folder.read(), broken);
    }
}
