#include "composer/WebRealm.h"

#include "composer/UnicodeText.h"

namespace kv::composer {

namespace {

bool isPlainCapital(std::string_view character) {
    return character.size() == 1 && character[0] >= 'A' && character[0] <= 'Z';
}

} // namespace

std::string makeWebRealm(std::string_view realm) {
    const auto characters = userCharacters(realm);
    if (characters.empty())
        return {};
    std::string result(characters.front());
    bool afterBreak = false;
    for (std::size_t i = 1; i < characters.size(); ++i) {
        const std::string_view character = characters[i];
        if (isPlainCapital(character) && !afterBreak)
            result += '-';
        if (character == " ") {
            result += '-';
            afterBreak = true;
        } else if (character == "'") {
            afterBreak = true;
        } else {
            result += character;
            afterBreak = false;
        }
    }
    return result;
}

} // namespace kv::composer
