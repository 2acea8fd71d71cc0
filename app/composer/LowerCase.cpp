#include "composer/LowerCase.h"

#include "composer/Utf8Codec.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace kv::composer {

namespace {

// One fixed UTF-8 character-type table for the whole process, whatever locale
// the user runs in; none when the C library has no such locale.
locale_t unicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

char32_t lowerCodePoint(char32_t codePoint) {
    if (codePoint >= U'A' && codePoint <= U'Z')
        return codePoint + (U'a' - U'A');
    if (codePoint < 0x80)
        return codePoint;
    if (const locale_t locale = unicodeLocale())
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(codePoint), locale));
    // Without the table, at least the Latin-1 capitals.
    if (codePoint >= 0xC0 && codePoint <= 0xDE && codePoint != 0xD7)
        return codePoint + 0x20;
    return codePoint;
}

} // namespace

std::string lowerCase(std::string_view utf8Text) {
    std::string lowered;
    lowered.reserve(utf8Text.size());
    std::size_t position = 0;
    while (position < utf8Text.size()) {
        std::size_t length = 0;
        const char32_t codePoint = decodeCodePoint(utf8Text, position, length);
        if (codePoint == invalidCodePoint)
            lowered += utf8Text[position];
        else
            appendCodePoint(lowered, lowerCodePoint(codePoint));
        position += length;
    }
    return lowered;
}

} // namespace kv::composer
