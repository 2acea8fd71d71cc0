#include "composer/PageTables.h"

#include <array>

namespace kv::composer {

namespace {

bool isKnownLanguage(std::int64_t userLanguage) {
    return userLanguage >= 1 && userLanguage <= 13;
}

std::size_t languageIndex(std::int64_t userLanguage) {
    return isKnownLanguage(userLanguage) ? static_cast<std::size_t>(userLanguage - 1) : 0;
}

constexpr std::array<std::string_view, 13> locales{"/en-us/", "/es-mx/", "/pt-br/", "/de-de/", "/en-gb/",
                                                   "/es-es/", "/fr-fr/", "/it-it/", "/pt-pt/", "/ru-ru/",
                                                   "/ko-kr/", "/zh-tw/", "/zh-cn/"};
constexpr std::array<std::string_view, 13> regions{"/en/", "/en/", "/en/", "/eu/", "/eu/", "/eu/", "/eu/",
                                                   "/eu/", "/eu/", "/eu/", "/kr/", "/tw/", "/tw/"};
constexpr std::array<std::string_view, 11> npcLabels{"www", "es", "pt", "de", "www", "es",
                                                     "fr",  "it", "pt", "ru", "ko"};
// 10: a Latin capital O followed by Cyrillic letters, as the page has always shown it.
constexpr std::array<std::string_view, 11> updateWords{
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
    if (userLanguage < 1 || userLanguage > 11)
        return "cn";
    if (classic && (userLanguage == 1 || userLanguage == 5))
        return "classic";
    return npcLabels[static_cast<std::size_t>(userLanguage - 1)];
}

std::string_view updateWord(std::int64_t userLanguage) {
    if (userLanguage < 1 || userLanguage > 11)
        return "更新";
    return updateWords[static_cast<std::size_t>(userLanguage - 1)];
}

bool landsOnRankingSite(std::int64_t landingPageInt) {
    return landingPageInt == 4;
}

std::string_view characterTemplateName(std::int64_t landingPageInt) {
    return landsOnRankingSite(landingPageInt) ? "raiderio.html" : "vistrel.html";
}

std::string_view nameSuffix(std::int64_t landingPageInt) {
    if (landingPageInt == 2)
        return "/pve/raids";
    if (landingPageInt == 3)
        return "/pvp";
    return {};
}

} // namespace kv::composer
