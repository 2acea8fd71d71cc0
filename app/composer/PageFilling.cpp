#include "composer/PageFilling.h"

#include "composer/HtmlEscape.h"
#include "composer/PageTables.h"
#include "composer/TemplateText.h"
#include "composer/UnicodeText.h"
#include "shell/Configuration.h"

namespace kv::composer {

namespace {

constexpr std::string_view realmPlaceholder = "draka";
constexpr std::string_view regionPlaceholder = "/en/";
constexpr std::string_view localePlaceholder = "/en-us/";
constexpr std::string_view npcIdPlaceholder = "999999";
constexpr std::string_view updateWordPlaceholder = "Updating";

// How the templates write the NPC database's host: "/www." and the domain's first three letters.
std::string npcSiteText(std::string_view label) {
    return "/" + std::string(label) + "." + std::string(config::npcSiteDomain.substr(0, 3));
}

} // namespace

std::string fillCharacterTemplate(std::string_view pageTemplate, std::string_view name,
                                  std::string_view webRealm, std::int64_t userLanguage,
                                  std::int64_t landingPageInt) {
    std::string page = replaceAll(pageTemplate, realmPlaceholder, escapeForHtml(lowerCase(webRealm)));
    if (landsOnRankingSite(landingPageInt)) {
        page = replaceAll(page, regionPlaceholder, regionSegment(userLanguage));
    } else {
        if (userLanguage == kChinaLanguage)
            page = replaceAll(page, config::gameSiteHost, config::chinaSiteHost);
        page = replaceAll(page, localePlaceholder, localeSegment(userLanguage));
    }
    const std::string nameSegment = escapeForHtml(name) + std::string(nameSuffix(landingPageInt));
    return replaceAll(page, config::namePlaceholder, nameSegment);
}

std::string characterDesktopAddress(std::string_view name, std::string_view webRealm,
                                    std::int64_t userLanguage, std::int64_t landingPageInt) {
    const std::string realm = lowerCase(webRealm);
    if (landsOnRankingSite(landingPageInt)) // the ranking site's address always names the "us" region
        return "https://" + std::string(config::rankingSiteHost) + "/characters/us/" + realm + "/" +
               std::string(name);
    std::string address = "https://" + std::string(config::gameSiteHost) +
                          std::string(localeSegment(userLanguage)) + "character/" + realm + "/" +
                          std::string(name) + std::string(nameSuffix(landingPageInt));
    if (userLanguage == kChinaLanguage)
        address = replaceAll(address, config::gameSiteHost, config::chinaSiteHost);
    return address;
}

std::string fillNpcTemplate(std::string_view pageTemplate, std::string_view npcId, std::int64_t userLanguage,
                            bool classic) {
    const std::string page = replaceAll(pageTemplate, npcIdPlaceholder, escapeForHtml(npcId));
    return replaceAll(page, npcSiteText("www"), npcSiteText(npcLanguageLabel(userLanguage, classic)));
}

std::string npcDesktopAddress(std::string_view npcId, std::int64_t userLanguage, bool classic) {
    return "http://" + std::string(npcLanguageLabel(userLanguage, classic)) + "." +
           std::string(config::npcSiteDomain) + "/npc=" + std::string(npcId);
}

std::string fillUpdateTemplate(std::string_view pageTemplate, std::int64_t userLanguage) {
    return replaceAll(pageTemplate, updateWordPlaceholder, updateWord(userLanguage));
}

} // namespace kv::composer
