// The one UTF-8 and UTF-16 codec of the project: the string subset, the SDK,
// the application and the companion host all code text with it. UTF-8 is
// read strictly: overlong forms, encoded surrogates and values above U+10FFFF
// are not UTF-8.
#ifndef KV_COMPAT_UTF_H
#define KV_COMPAT_UTF_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kvcf {

// What decodeUtf8 reads from a byte that starts no well-formed sequence.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Reads the code point at the front of non-empty `bytes` and stores how many
// bytes it took; kNotUtf8 and a length of 1 when they are not UTF-8 there.
char32_t decodeUtf8(std::string_view bytes, std::size_t& length);

// True when every byte belongs to a well-formed sequence (NUL included).
bool isValidUtf8(std::string_view bytes);

// Writes cp as UTF-8 into out (room for 4 bytes) and returns the byte count.
std::size_t encodeUtf8(char32_t cp, char* out);

void appendUtf8(std::string& out, char32_t cp);

// Strict UTF-8 to UTF-16 (false, out unspecified, for text that is not UTF-8).
bool utf8ToUtf16(std::string_view in, std::u16string& out);

// Reads one character from the front of units into cp and returns how many
// units it took (1 or 2). A lone surrogate reads as U+FFFD.
std::size_t decodeUtf16(std::u16string_view units, char32_t& cp);

// UTF-16 to UTF-8; lone surrogates become U+FFFD, so the result is UTF-8.
std::string utf16ToUtf8(std::u16string_view units);

} // namespace kvcf

#endif
