// The per-language and per-landing-page choices of the composed pages.
#pragma once

#include <cstdint>
#include <string_view>

namespace kv::composer {

// userLanguage is the tag of the language menu, 1 ... kLanguageCount; the last
// is Chinese (simplified), whose game site has a host of its own.
inline constexpr std::int64_t kLanguageCount = 13;
inline constexpr std::int64_t kChinaLanguage = 13;
// landingPageInt is the tag of the landing-page menu; any other value is the profile.
inline constexpr std::int64_t kRaidsLanding = 2;
inline constexpr std::int64_t kPvpLanding = 3;
inline constexpr std::int64_t kRankingSiteLanding = 4;

// The game site's locale segment, e.g. "/fr-fr/" for 7; "/en-us/" for unknown values.
std::string_view localeSegment(std::int64_t userLanguage);
// The ranking site's region segment: "/en/", "/eu/", "/kr/" or "/tw/".
std::string_view regionSegment(std::int64_t userLanguage);
// The NPC database's host label; the classic flag counts only for the English sites (1 and 5).
std::string_view npcLanguageLabel(std::int64_t userLanguage, bool classic);
// The word that replaces "Updating" on the update page.
std::string_view updateWord(std::int64_t userLanguage);

// Landing page 4 opens the ranking site; every other value the game site.
bool landsOnRankingSite(std::int64_t landingPageInt);
// "raiderio.html" for the ranking site, else "vistrel.html".
std::string_view characterTemplateName(std::int64_t landingPageInt);
// What follows the name on the game site: "/pve/raids" for 2, "/pvp" for 3, else nothing.
std::string_view nameSuffix(std::int64_t landingPageInt);

} // namespace kv::composer
