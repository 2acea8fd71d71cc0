// Filling the page templates and building the desktop addresses: everything
// about a page that does not touch the platform or the SDK.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv::composer {

// The character template filled with the realm, the language and region
// segments and the name (with the landing page's suffix). Replacements run
// in that order, so text inserted earlier is subject to later ones. Text
// from the screen is HTML-escaped.
std::string fillCharacterTemplate(std::string_view pageTemplate, std::string_view name,
                                  std::string_view webRealm, std::int64_t userLanguage,
                                  std::int64_t landingPageInt);

// The character's page on the game site, or on the ranking site for landing page 4 (not yet percent-encoded).
std::string characterDesktopAddress(std::string_view name, std::string_view webRealm,
                                    std::int64_t userLanguage, std::int64_t landingPageInt);

// The NPC template with the id and the NPC database's language label.
std::string fillNpcTemplate(std::string_view pageTemplate, std::string_view npcId, std::int64_t userLanguage,
                            bool classic);

std::string npcDesktopAddress(std::string_view npcId, std::int64_t userLanguage, bool classic);

// The update template with "Updating" in the user's language.
std::string fillUpdateTemplate(std::string_view pageTemplate, std::int64_t userLanguage);

} // namespace kv::composer
