// UTF-8 and UTF-16 conversion for the string subset.
#ifndef KV_COMPAT_UTF_H
#define KV_COMPAT_UTF_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kvcf {

// Strict UTF-8 to UTF-16: overlong forms, surrogates and values above
// U+10FFFF are refused (false, out unspecified).
bool utf8ToUtf16(std::string_view in, std::u16string& out);

// Reads one character from the front of units into cp and returns how many
// units it took (1 or 2). A lone surrogate reads as U+FFFD.
std::size_t decodeUtf16(std::u16string_view units, char32_t& cp);

// Writes cp as UTF-8 into out (room for 4 bytes) and returns the byte count.
std::size_t encodeUtf8(char32_t cp, char* out);

} // namespace kvcf

#endif
