// Splitting text into user-perceived characters, as the message grammar and
// the web realm count them.
#pragma once

#include <string_view>
#include <vector>

namespace kv::composer {

// The user-perceived characters of UTF-8 text, in order. A character is a
// base code point with the marks and joiners that attach to it: combining
// marks of the common scripts, variation selectors, emoji modifiers and tags,
// zero-width-joiner sequences, regional-indicator pairs, Hangul vowel and
// final jamo, and CR LF. (A practical subset of the full segmentation rules,
// enough for names, realms and NPC numbers.)
std::vector<std::string_view> userCharacters(std::string_view text);

} // namespace kv::composer
