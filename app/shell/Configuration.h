// The application's configuration values: web-site hosts, the demo
// characters and the SDK's bundle identifier, kept together.
#pragma once

#include <array>
#include <string_view>

namespace kv::config {

// The SDK library's bundle identifier; the launch reports the version of the
// loaded library that carries it.
inline constexpr std::string_view sdkBundleIdentifier = "com.Pellmoor.HalvorinKeshControl";

// How the application registers with the host.
inline constexpr std::string_view applicationIdentifier = "com.Pellmoor.Kesh-Vistrel";
inline constexpr std::string_view applicationFriendlyName = "WoW Vistrel";

// The game's web site, its host for mainland China, and the character-ranking site.
inline constexpr std::string_view gameSiteHost = "worldofwarcraft.blizzard.com";
inline constexpr std::string_view chinaSiteHost = "wow.blizzard.cn";
inline constexpr std::string_view rankingSiteHost = "raider.io";
// The NPC database: each language has its own label in front of this domain.
inline constexpr std::string_view npcSiteDomain = "wowhead.com";

// The demo characters of the test and trigger buttons. The first one's name,
// lower-cased, is the name placeholder of the character templates.
inline constexpr std::string_view firstDemoCharacterName = "Quorbelle";
inline constexpr std::string_view secondDemoCharacterName = "Tamsin";
inline constexpr std::string_view demoRealm = "Draka";
inline constexpr std::string_view namePlaceholder = "quorbelle";
inline constexpr std::string_view npcDemoMessage = "NPC10184";

// The game's window, to read the strip from: the program names of the game's
// clients as Wine gives them to their windows (WM_CLASS), and its title.
inline constexpr std::array<std::string_view, 5> gameWindowNames{"Wow.exe", "WowClassic.exe", "WowB.exe",
                                                                 "WowT.exe", "World of Warcraft"};

} // namespace kv::config
