// The composed pages and addresses for each language and landing page.
#include "composer/HtmlEscape.h"
#include "composer/PageFilling.h"
#include "composer/PageTables.h"
#include "composer/UrlText.h"
#include "shell/Configuration.h"

#include <gtest/gtest.h>

#include <string>

using namespace kv::composer;

namespace {

const std::string gameHost(kv::config::gameSiteHost);
const std::string chinaHost(kv::config::chinaSiteHost);
const std::string name(kv::config::namePlaceholder);
const std::string characterTemplate = "https://" + gameHost + "/en-us/character/draka/" + name + " | /en/";

} // namespace

TEST(PageTables, UnknownLanguagesFallBackPerTable) {
    EXPECT_EQ(updateWord(10), "O\u0431\u043d\u043e\u0432\u043b\u044f\u044e") << "a Latin capital O first";
    for (const auto unknown : {0, 14, -1}) {
        EXPECT_EQ(localeSegment(unknown), "/en-us/");
        EXPECT_EQ(regionSegment(unknown), "/en/");
        EXPECT_EQ(updateWord(unknown), "更新");
        EXPECT_EQ(npcLanguageLabel(unknown, true), "cn");
    }
}

TEST(PageTables, TheClassicFlagCountsOnlyForTheEnglishSites) {
    EXPECT_EQ(npcLanguageLabel(1, false), "www");
    EXPECT_EQ(npcLanguageLabel(1, true), "classic");
    EXPECT_EQ(npcLanguageLabel(5, true), "classic");
    EXPECT_EQ(npcLanguageLabel(4, true), "de");
    EXPECT_EQ(npcLanguageLabel(11, false), "ko");
    EXPECT_EQ(npcLanguageLabel(12, false), "cn");
    EXPECT_EQ(npcLanguageLabel(13, true), "cn");
}

TEST(CharacterPage, FillsRealmInLowerCaseAndNameAsReceived) {
    const auto page = fillCharacterTemplate(characterTemplate, "Thrall", "Aerie-Peak", 1, 1);
    EXPECT_EQ(page, "https://" + gameHost + "/en-us/character/aerie-peak/Thrall | /en/");
    EXPECT_EQ(characterDesktopAddress("Thrall", "Aerie-Peak", 1, 0),
              "https://" + gameHost + "/en-us/character/aerie-peak/Thrall");
}

TEST(CharacterPage, LandingPagesAddTheirSuffixToPageAndAddress) {
    EXPECT_EQ(fillCharacterTemplate(name, "Thrall", "X", 1, 3), "Thrall/pvp");
    EXPECT_EQ(fillCharacterTemplate(name, "Thrall", "X", 1, 2), "Thrall/pve/raids");
    EXPECT_EQ(characterDesktopAddress("Thrall", "X", 1, 3),
              "https://" + gameHost + "/en-us/character/x/Thrall/pvp");
}

TEST(CharacterPage, TheRankingSiteUsesTheRegionInThePageButAlwaysUsInTheAddress) {
    EXPECT_EQ(fillCharacterTemplate(characterTemplate, "Thrall", "Draka", 7, 4),
              "https://" + gameHost + "/en-us/character/draka/Thrall | /eu/");
    EXPECT_EQ(characterDesktopAddress("Thrall", "Draka", 7, 4),
              "https://" + std::string(kv::config::rankingSiteHost) + "/characters/us/draka/Thrall");
    EXPECT_EQ(fillCharacterTemplate(characterTemplate, "Thrall", "Draka", 13, 4),
              "https://" + gameHost + "/en-us/character/draka/Thrall | /tw/")
        << "no China host on the ranking site";
}

TEST(CharacterPage, TheChinaLanguageSwitchesHostAndLocale) {
    EXPECT_EQ(fillCharacterTemplate(characterTemplate, "Thrall", "Draka", 13, 1),
              "https://" + chinaHost + "/zh-cn/character/draka/Thrall | /en/");
    EXPECT_EQ(characterDesktopAddress("Thrall", "Draka", 13, 1),
              "https://" + chinaHost + "/zh-cn/character/draka/Thrall");
}

TEST(CharacterPage, TextInsertedEarlierIsSubjectToLaterReplacements) {
    // A web realm that is the name placeholder gets the name; the inserted name is not searched again.
    EXPECT_EQ(fillCharacterTemplate("draka|" + name, "Ab/en-us/", name, 7, 1), "Ab/en-us/|Ab/en-us/");
}

TEST(CharacterPage, MarkupFromTheScreenIsEscapedButAmpersandsStay) {
    EXPECT_EQ(fillCharacterTemplate(name + "@draka", "<b>A&B\"'", "X>Y", 1, 1),
              "&lt;b&gt;A&B&quot;&#39;@x&gt;y");
    EXPECT_EQ(escapeForHtml("a&amp;<"), "a&amp;&lt;");
    EXPECT_EQ(fillNpcTemplate("id=999999", "<script>", 1, false), "id=&lt;script&gt;");
}

TEST(NpcPage, TheSiteTextTakesTheLanguageLabel) {
    const std::string domain(kv::config::npcSiteDomain);
    const std::string link = "https://www." + domain + "/npc=999999";
    EXPECT_EQ(fillNpcTemplate(link, "10184", 1, false), "https://www." + domain + "/npc=10184");
    EXPECT_EQ(fillNpcTemplate(link, "10184", 1, true), "https://classic." + domain + "/npc=10184");
    EXPECT_EQ(fillNpcTemplate(link, "", 7, false), "https://fr." + domain + "/npc=");
    EXPECT_EQ(npcDesktopAddress("PC10184", 13, false), "http://cn." + domain + "/npc=PC10184");
    EXPECT_EQ(npcDesktopAddress("10184", 5, true), "http://classic." + domain + "/npc=10184");
}

TEST(UpdatePage, OnlyTheWordUpdatingIsReplaced) {
    EXPECT_EQ(fillUpdateTemplate("<h1>Updating</h1>updating", 7), "<h1>Réactualisation</h1>updating");
    EXPECT_EQ(fillUpdateTemplate("<h1>Wait</h1>", 12), "<h1>Wait</h1>");
}

TEST(UrlText, EncodesEveryByteOutsideTheQuerySetIncludingPercent) {
    EXPECT_EQ(percentEncodeForQuery("https://h/en-us/character/x/Ëlf"),
              "https://h/en-us/character/x/%C3%8Blf");
    EXPECT_EQ(percentEncodeForQuery("a&b c%d<"), "a&b%20c%25d%3C");
    EXPECT_EQ(percentEncodeForQuery("-._~!$&'()*+,;=:@/?"), "-._~!$&'()*+,;=:@/?");
    EXPECT_FALSE(percentEncodeForQuery("bad\xC3"));
}

TEST(UrlText, OnlyWellFormedAddressesAreUrls) {
    EXPECT_TRUE(isWellFormedUrl("http://www.example.com/npc=10184"));
    EXPECT_TRUE(isWellFormedUrl("https://h/x/%C3%8Blf"));
    EXPECT_FALSE(isWellFormedUrl("http://www.example.com/npc=1 2"));
    EXPECT_FALSE(isWellFormedUrl("http://h/%zz"));
    EXPECT_FALSE(isWellFormedUrl("http://h/\xC3\x8B"));
    EXPECT_FALSE(isWellFormedUrl("no scheme"));
}
