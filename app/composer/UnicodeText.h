// What the message grammar and the web realm need to know of Unicode text,
// from ICU: none of it depends on the user's locale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv::composer {

// The user-perceived characters (extended grapheme clusters) of UTF-8 text,
// in order.
std::vector<std::string_view> userCharacters(std::string_view utf8Text);

// True when the text holds a decimal digit (general category Nd) of any script.
bool containsDecimalDigit(std::string_view utf8Text);

// Maps each code point of UTF-8 text to its simple lower-case form; bytes
// that are not UTF-8 are kept as they are.
std::string lowerCase(std::string_view utf8Text);

} // namespace kv::composer
