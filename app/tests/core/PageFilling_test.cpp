// The composer's pure parts: the message grammar, and the composed pages and
// addresses for each language and landing page, from the realm's web form on.
#include "composer/MessageGrammar.h"
#include "composer/PageFilling.h"
#include "composer/UnicodeText.h"
#include "composer/UrlText.h"
#include "composer/WebRealm.h"
#include "shell/Configuration.h"

#include <gtest/gtest.h>

#include <string>

using namespace kv::composer;

namespace {

const std::string gameSite = "https://" + std::string(kv::config::gameSiteHost);
const std::string chinaSite = "https://" + std::string(kv::config::chinaSiteHost);
const std::string npcSite(kv::config::npcSiteDomain);
const std::string name(kv::config::namePlaceholder);

} // namespace

TEST(WebRealm, CapitalsStartWordsUnlessABlankOrApostropheCameBeforeAndEveryScriptLowerCases) {
    const std::pair<const char*, const char*> realms[] = {
        {"AeriePeak", "Aerie-Peak"},
        {"Aerie Peak", "Aerie-Peak"},
        {"Kel'Thuzad", "KelThuzad"},
        {"Der Rat von Dalaran", "Der-Rat-von-Dalaran"},
        {"ABC", "A-B-C"},
        {"Twisting  Nether", "Twisting--Nether"},
        {"AÉB", "AÉ-B"},
        /* accented capitals start no word */ {"Q", "Q"},
        {"'Ab", "'-Ab"},
        {"", ""},
    };
    for (const auto& [realm, web] : realms)
        EXPECT_EQ(makeWebRealm(realm), web) << realm;
    EXPECT_EQ(lowerCase("ÉLUNE ГОРДУННИ Aerie-Peak"), "élune гордунни aerie-peak");
    EXPECT_EQ(lowerCase("\xFF"
                        "A"),
              "\xFF"
              "a")
        << "stray bytes are kept";
}

TEST(CharacterPage, TemplatesAndAddressesTakeRealmLanguageAndLandingPage) {
    const std::string characterTemplate = gameSite + "/en-us/character/draka/" + name + " | /en/";
    struct Case {
        std::string pageTemplate, name, webRealm;
        int language, landing;
        std::string page, address;
    };
    const Case cases[] = {
        // The realm in lower case, the name as received.
        {characterTemplate, "Thrall", "Aerie-Peak", 1, 1,
         gameSite + "/en-us/character/aerie-peak/Thrall | /en/",
         gameSite + "/en-us/character/aerie-peak/Thrall"},
        {name, "Thrall", "X", 1, 3, "Thrall/pvp", gameSite + "/en-us/character/x/Thrall/pvp"},
        {name, "Thrall", "X", 1, 2, "Thrall/pve/raids", gameSite + "/en-us/character/x/Thrall/pve/raids"},
        {characterTemplate, "Thrall", "Draka", 7, 0, gameSite + "/fr-fr/character/draka/Thrall | /en/",
         gameSite + "/fr-fr/character/draka/Thrall"},
        // The ranking site: the region in the page, but always "us" in the address, and no China host.
        {characterTemplate, "Thrall", "Draka", 7, 4, gameSite + "/en-us/character/draka/Thrall | /eu/",
         "https://" + std::string(kv::config::rankingSiteHost) + "/characters/us/draka/Thrall"},
        {characterTemplate, "Thrall", "Draka", 13, 4, gameSite + "/en-us/character/draka/Thrall | /tw/", ""},
        {characterTemplate, "Thrall", "Draka", 13, 1, chinaSite + "/zh-cn/character/draka/Thrall | /en/",
         chinaSite + "/zh-cn/character/draka/Thrall"},
        {characterTemplate, "Thrall", "Draka", 0, 1, gameSite + "/en-us/character/draka/Thrall | /en/", ""},
        // Text inserted earlier is subject to later replacements; the inserted name is not searched again.
        {"draka|" + name, "Ab/en-us/", name, 7, 1, "Ab/en-us/|Ab/en-us/", ""},
        // Markup from the screen is escaped, ampersands stay.
        {name + "@draka", "<b>A&B\"'", "X>Y", 1, 1, "&lt;b&gt;A&B&quot;&#39;@x&gt;y", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageTemplate + " " + c.name + " " + std::to_string(c.language));
        EXPECT_EQ(fillCharacterTemplate(c.pageTemplate, c.name, c.webRealm, c.language, c.landing), c.page);
        if (!c.address.empty()) {
            EXPECT_EQ(characterDesktopAddress(c.name, c.webRealm, c.language, c.landing), c.address);
        }
    }
}

TEST(NpcAndUpdatePages, TakeTheLanguagesLabelOrWordWithFallbacksForOtherLanguages) {
    const std::string link = "https://www." + npcSite + "/npc=999999";
    EXPECT_EQ(fillNpcTemplate(link, "10184", 1, false), "https://www." + npcSite + "/npc=10184");
    EXPECT_EQ(fillNpcTemplate(link, "10184", 1, true), "https://classic." + npcSite + "/npc=10184");
    EXPECT_EQ(fillNpcTemplate(link, "", 7, false), "https://fr." + npcSite + "/npc=");
    EXPECT_EQ(fillNpcTemplate("id=999999", "<script>", 1, false), "id=&lt;script&gt;");
    const std::tuple<int, bool, const char*> labels[] = {
        {5, true, "classic"}, {4, true, "de"},  {11, false, "ko"}, {12, false, "cn"},
        {13, true, "cn"},     {0, false, "cn"}, {14, true, "cn"},  {-1, false, "cn"}};
    for (const auto& [language, classic, label] : labels)
        EXPECT_EQ(npcDesktopAddress("PC10184", language, classic),
                  "http://" + std::string(label) + "." + npcSite + "/npc=PC10184")
            << language;

    EXPECT_EQ(fillUpdateTemplate("<h1>Updating</h1>updating", 7), "<h1>Réactualisation</h1>updating");
    EXPECT_EQ(fillUpdateTemplate("Updating", 10), "O\u0431\u043d\u043e\u0432\u043b\u044f\u044e")
        << "a Latin capital O first";
    for (const int unknown : {12, 0, 14, -1})
        EXPECT_EQ(fillUpdateTemplate("Updating", unknown), "更新") << unknown;
}

TEST(UrlText, EncodesEveryByteOutsideTheQuerySetAndOnlyWellFormedAddressesAreUrls) {
    EXPECT_EQ(percentEncodeForQuery("a&b c%d<"), "a&b%20c%25d%3C");
    EXPECT_EQ(percentEncodeForQuery("-._~!$&'()*+,;=:@/?"), "-._~!$&'()*+,;=:@/?");
    EXPECT_FALSE(percentEncodeForQuery("bad\xC3"));
    EXPECT_TRUE(isWellFormedUrl("http://www.example.com/npc=10184"));
    EXPECT_TRUE(isWellFormedUrl("https://h/x/%C3%8Blf"));
    for (const char* bad : {"http://h/%zz", "http://h/\xC3\x8B", "no scheme"})
        EXPECT_FALSE(isWellFormedUrl(bad)) << bad;
}

TEST(MessageGrammar, MessagesAreNpcNumbersCharactersOrRefused) {
    const std::pair<const char*, ParsedMessage> cases[] = {
        // Any decimal digit makes an NPC message; its first user-perceived character is the marker.
        {"C1234", NpcMessage{"1234", true}},
        {"N1234", NpcMessage{"1234", false}},
        {"c1234", NpcMessage{"1234", false}}, // the marker is case-sensitive
        {"1234", NpcMessage{"234", false}},   // a digit is taken as the marker
        {"NPC10184", NpcMessage{"PC10184", false}},
        {"7", NpcMessage{"", false}},
        {"N\u0663\u0664", NpcMessage{"\u0663\u0664", false}}, // Arabic-Indic digits
        {"Ab\uFF15", NpcMessage{"b\uFF15", false}},           // a full-width 5
        {"C\u0301"
         "42",
         NpcMessage{"42", false}}, // "C" with a combining accent is no classic marker
        {"\u00C942", NpcMessage{"42", false}},
        // Superscripts and Roman numerals are numbers but not decimal digits.
        {"Ab\u00B2", MessageWithoutRealm{}},
        {"Ab\u2163", MessageWithoutRealm{}},
        // A "-" makes a character message, digits or not: NPC messages never hold one.
        {"Thrall-Area 52", CharacterMessage{"Thrall", "Area 52"}},
        {"Thrall-Aerie Peak-Extra", CharacterMessage{"Thrall", "Aerie Peak"}},
        {"-Nagrand", CharacterMessage{"", "Nagrand"}},
        {"Ëlf-Draka", CharacterMessage{"Ëlf", "Draka"}},
        {"Thrall", MessageWithoutRealm{}},
        {"Thrall-", MessageWithoutRealm{}},
        {"Thrall--Draka", MessageWithoutRealm{}},
    };
    for (const auto& [message, parsed] : cases)
        EXPECT_EQ(parseMessage(message), parsed) << message;
    EXPECT_EQ(userCharacters("e\u0301\U0001F1EB\U0001F1F7x").size(), 3u);
    EXPECT_EQ(userCharacters("\r\nA").size(), 2u);
}
