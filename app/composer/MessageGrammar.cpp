#include "composer/MessageGrammar.h"

#include "composer/UnicodeText.h"

#include <vector>

namespace kv::composer {

ParsedMessage parseMessage(std::string_view message) {
    const auto firstSeparator = message.find('-');
    // A "-" always separates a name from its realm, which may hold digits ("Area 52").
    if (firstSeparator == std::string_view::npos && containsDecimalDigit(message)) {
        const auto characters = userCharacters(message);
        const std::string_view marker = characters.empty() ? std::string_view{} : characters.front();
        return NpcMessage{std::string(message.substr(marker.size())), marker == "C"};
    }
    if (firstSeparator == std::string_view::npos)
        return MessageWithoutRealm{};
    const auto realmStart = firstSeparator + 1;
    const auto realmEnd = message.find('-', realmStart);
    const auto realm =
        message.substr(realmStart, realmEnd == std::string_view::npos ? realmEnd : realmEnd - realmStart);
    // An empty realm cannot name a page; it is treated like a missing one.
    if (realm.empty())
        return MessageWithoutRealm{};
    return CharacterMessage{std::string(message.substr(0, firstSeparator)), std::string(realm)};
}

} // namespace kv::composer
