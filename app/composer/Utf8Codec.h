// Decoding and encoding of UTF-8 text, one code point at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kv::composer {

inline constexpr char32_t invalidCodePoint = 0xFFFFFFFF;

// The code point at text[position] and the number of bytes it takes. A byte
// that does not start a well-formed sequence gives invalidCodePoint and 1.
char32_t decodeCodePoint(std::string_view text, std::size_t position, std::size_t& length);

void appendCodePoint(std::string& out, char32_t codePoint);

// True when every byte belongs to a well-formed UTF-8 sequence.
bool isValidUtf8(std::string_view text);

} // namespace kv::composer
