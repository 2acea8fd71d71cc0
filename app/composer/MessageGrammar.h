// What a message from the game is: an NPC number, or a character's name and realm.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace kv::composer {

struct NpcMessage {
    std::string npcId;
    bool classic = false;
    bool operator==(const NpcMessage&) const = default;
};

struct CharacterMessage {
    std::string name;
    std::string realm;
    bool operator==(const CharacterMessage&) const = default;
};

// A character message without a realm, or with an empty one ("Thrall-").
struct MessageWithoutRealm {
    bool operator==(const MessageWithoutRealm&) const = default;
};

using ParsedMessage = std::variant<NpcMessage, CharacterMessage, MessageWithoutRealm>;

// A message with a "-" is a character message: the pieces between "-" are
// name and realm (which may hold digits); later pieces are ignored. Otherwise
// any decimal digit makes an NPC message: its first character is the kind
// marker ("C" for the classic edition) and the rest is the id.
ParsedMessage parseMessage(std::string_view message);

} // namespace kv::composer
