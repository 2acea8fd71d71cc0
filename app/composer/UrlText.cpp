#include "composer/UrlText.h"

#include <CoreFoundation/Utf.h>

#include <cctype>

namespace kv::composer {

namespace {

bool isAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isQueryCharacter(char c) {
    return isAsciiAlphanumeric(c) ||
           std::string_view("-._~!$&'()*+,;=:@/?").find(c) != std::string_view::npos;
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::optional<std::string> percentEncodeForQuery(std::string_view address) {
    if (!kvcf::isValidUtf8(address))
        return std::nullopt;
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(address.size());
    for (const char c : address) {
        if (isQueryCharacter(c)) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

bool isWellFormedUrl(std::string_view address) {
    const auto colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(address[0])))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = address[i];
        if (!isAsciiAlphanumeric(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    for (std::size_t i = colon + 1; i < address.size(); ++i) {
        const char c = address[i];
        if (c == '%') {
            if (i + 2 >= address.size() || !isHexDigit(address[i + 1]) || !isHexDigit(address[i + 2]))
                return false;
            i += 2;
        } else if (!isQueryCharacter(c) && c != '#' && c != '[' && c != ']') {
            return false;
        }
    }
    return true;
}

} // namespace kv::composer
