// Whether text holds a decimal digit of any script: this decides an NPC message.
#pragma once

#include <string_view>

namespace kv::composer {

// True for a code point of the Unicode category Nd (decimal number).
bool isDecimalDigit(char32_t codePoint);

bool containsDecimalDigit(std::string_view utf8Text);

} // namespace kv::composer
