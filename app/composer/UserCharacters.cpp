#include "composer/UserCharacters.h"

#include "composer/Utf8Codec.h"

#include <array>
#include <utility>

namespace kv::composer {

namespace {

// Code points that attach to the character before them.
constexpr std::array<std::pair<char32_t, char32_t>, 27> attachingRanges{{
    {0x0300, 0x036F},   {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05C7},   {0x0610, 0x061A},
    {0x064B, 0x065F},   {0x0670, 0x0670}, {0x06D6, 0x06ED}, {0x0900, 0x0903},   {0x093A, 0x094F},
    {0x0951, 0x0957},   {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},   {0x1160, 0x11FF},
    {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF}, {0x200C, 0x200C}, {0x20D0, 0x20FF},   {0x302A, 0x302F},
    {0x3099, 0x309A},   {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0x1F3FB, 0x1F3FF}, {0xE0020, 0xE007F},
    {0xE0100, 0xE01EF}, {0x0F71, 0x0F84},
}};

bool attaches(char32_t codePoint) {
    for (const auto& [first, last] : attachingRanges)
        if (codePoint >= first && codePoint <= last)
            return true;
    return false;
}

bool isRegionalIndicator(char32_t codePoint) {
    return codePoint >= 0x1F1E6 && codePoint <= 0x1F1FF;
}

constexpr char32_t zeroWidthJoiner = 0x200D;

} // namespace

std::vector<std::string_view> userCharacters(std::string_view text) {
    std::vector<std::string_view> characters;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t start = position;
        std::size_t length = 0;
        const char32_t base = decodeCodePoint(text, position, length);
        position += length;
        if (base == U'\r' && position < text.size() && text[position] == '\n') {
            ++position;
        } else if (base != invalidCodePoint) {
            bool pairedIndicator = false;
            while (position < text.size()) {
                const char32_t next = decodeCodePoint(text, position, length);
                if (attaches(next)) {
                    position += length;
                } else if (next == zeroWidthJoiner) {
                    position += length;
                    if (position < text.size()) {
                        decodeCodePoint(text, position, length);
                        position += length; // the joined code point belongs to this character
                    }
                } else if (isRegionalIndicator(base) && isRegionalIndicator(next) && !pairedIndicator) {
                    position += length;
                    pairedIndicator = true;
                } else {
                    break;
                }
            }
        }
        characters.push_back(text.substr(start, position - start));
    }
    return characters;
}

} // namespace kv::composer
