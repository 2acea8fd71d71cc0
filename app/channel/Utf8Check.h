// Strict UTF-8 validation for the bytes of a message read from the screen.
#pragma once

#include <cstdint>
#include <span>

namespace kv::channel {

// True for well-formed UTF-8: no stray continuation bytes, no truncated
// sequences, no overlong forms, no surrogates, nothing above U+10FFFF.
// NUL is a valid character.
bool isValidUtf8(std::span<const std::uint8_t> bytes);

} // namespace kv::channel
