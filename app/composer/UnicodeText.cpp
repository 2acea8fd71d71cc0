#include "composer/UnicodeText.h"

#include <CoreFoundation/Utf.h>
#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>

#include <cstdint>
#include <memory>

namespace kv::composer {

std::vector<std::string_view> userCharacters(std::string_view utf8Text) {
    std::vector<std::string_view> characters;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UText, decltype(&utext_close)> text(
        utext_openUTF8(nullptr, utf8Text.data(), static_cast<std::int64_t>(utf8Text.size()), &status),
        &utext_close);
    const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> breaks(
        ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status), &ubrk_close);
    ubrk_setUText(breaks.get(), text.get(), &status);
    if (U_FAILURE(status))
        return characters;
    // On UTF-8 text the boundaries are byte offsets.
    std::int32_t start = ubrk_first(breaks.get());
    for (std::int32_t end = ubrk_next(breaks.get()); end != UBRK_DONE;
         start = end, end = ubrk_next(breaks.get()))
        characters.push_back(
            utf8Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
    return characters;
}

bool containsDecimalDigit(std::string_view utf8Text) {
    std::size_t length = 0;
    for (std::size_t position = 0; position < utf8Text.size(); position += length) {
        const char32_t codePoint = kvcf::decodeUtf8(utf8Text.substr(position), length);
        if (codePoint != kvcf::kNotUtf8 &&
            u_charType(static_cast<UChar32>(codePoint)) == U_DECIMAL_DIGIT_NUMBER)
            return true;
    }
    return false;
}

std::string lowerCase(std::string_view utf8Text) {
    std::string lowered;
    lowered.reserve(utf8Text.size());
    std::size_t length = 0;
    for (std::size_t position = 0; position < utf8Text.size(); position += length) {
        const char32_t codePoint = kvcf::decodeUtf8(utf8Text.substr(position), length);
        if (codePoint == kvcf::kNotUtf8)
            lowered += utf8Text[position];
        else
            kvcf::appendUtf8(lowered, static_cast<char32_t>(u_tolower(static_cast<UChar32>(codePoint))));
    }
    return lowered;
}

} // namespace kv::composer
