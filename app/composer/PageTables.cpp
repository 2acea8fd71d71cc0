#include "composer/PageTables.h"

#include <array>

namespace kv::composer {

namespace {

// Only the first eleven languages have an NPC site and an update word of their own.
constexpr std::int64_t kLanguagesWithOwnWords = 11;
constexpr std::int64_t kEnglishUs = 1;
constexpr std::int64_t kEnglishGb = 5;

bool isKnownLanguage(std::int64_t userLanguage) {
    return userLanguage >= 1 && userLanguage <= kLanguageCount;
}

std::size_t languageIndex(std::int64_t userLanguage) {
    return isKnownLanguage(userLanguage) ? static_cast<std::size_t>(userLanguage - 1) : 0;
}

constexpr std::array<std::string_view, kLanguageCount> locales{
    "/en-us/", "/es-mx/", "/pt-br/", "/de-de/", "/en-gb/", "/es-es/", "/fr-fr/",
    "/it-it/", "/pt-pt/", "/ru-ru/", "/ko-kr/", "/zh-tw/", "/zh-cn/"};
constexpr std::array<std::string_view, kLanguageCount> regions{
    "/en/", "/en/", "/en/", "/eu/", "/eu/", "/eu/", "/eu/", "/eu/", "/eu/", "/eu/", "/kr/", "/tw/", "/tw/"};
constexpr std::array<std::string_view, kLanguagesWithOwnWords> npcLabels{"www", "es", "pt", "de", "www", "es",
                                                                         "fr",  "it", "pt", "ru", "ko"};

bool hasOwnWords(std::int64_t userLanguage) {
    return userLanguage >= 1 && userLanguage <= kLanguagesWithOwnWords;
}

// 10: a Latin capital O followed by Cyrillic letters, as the page has always shown it.
constexpr std::array<std::string_view, kLanguagesWithOwnWords> updateWords{
    "Updating",        "Actualizando",
    "Atualizando",     "Aktualisierung",
    "Updating",        "Actualizando",
    "Réactualisation", "Aggiornando",
    "Atualizando",     "O\u0431\u043d\u043e\u0432\u043b\u044f\u044e",
    "업데이트"};

} // namespace

std::string_view localeSegment(std::int64_t userLanguage) {
    return locales[languageIndex(userLanguage)];
}

std::string_view regionSegment(std::int64_t userLanguage) {
    return regions[languageIndex(userLanguage)];
}

std::string_view npcLanguageLabel(std::int64_t userLanguage, bool classic) {
    if (!hasOwnWords(userLanguage))
        return "cn";
    if (classic && (userLanguage == kEnglishUs || userLanguage == kEnglishGb))
        return "classic";
    return npcLabels[languageIndex(userLanguage)];
}

std::string_view updateWord(std::int64_t userLanguage) {
    if (!hasOwnWords(userLanguage))
        return "更新";
    return updateWords[languageIndex(userLanguage)];
}

bool landsOnRankingSite(std::int64_t landingPageInt) {
    return landingPageInt == kRankingSiteLanding;
}

std::string_view characterTemplateName(std::int64_t landingPageInt) {
    return landsOnRankingSite(landingPageInt) ? "raiderio.html" : "vistrel.html";
}

std::string_view nameSuffix(std::int64_t landingPageInt) {
    if (landingPageInt == kRaidsLanding)
        return "/pve/raids";
    if (landingPageInt == kPvpLanding)
        return "/pvp";
    return {};
}

} // namespace kv::composer
