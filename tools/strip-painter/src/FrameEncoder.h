// Text to the strip's frames, exactly as the in-game add-on paints them: each
// byte is a phase-0 frame then a phase-1 frame, and the bytes 7 and 8 end the
// message.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kv::painter {

inline constexpr int kCellCount = 12;

// Lit (true) or dark (false) per cell, left to right.
using FrameCells = std::array<bool, kCellCount>;

struct StripFrame {
    std::uint8_t byte = 0;
    int phase = 0;
    FrameCells cells{};

    bool operator==(const StripFrame&) const = default;
};

// The reader takes a 7 followed by an 8 as the end of a message.
inline constexpr std::array<std::uint8_t, 2> kTerminator{7, 8};

// Cells 0 and 10 lit, cells 1 and 11 the phase, cells 2..9 the byte from its
// most significant bit down.
FrameCells frameCells(std::uint8_t byte, int phase);

// Both markers dark, so an idle strip never reads as a frame.
FrameCells idleCells();

// Whether the reader can take `text` (its bytes as sent) as one message: at
// least two bytes, no control bytes (a 7 then an 8 inside would end it early)
// and no byte 255 (never collected).
bool isSendable(std::string_view text);

// Every frame of a message, terminator included, in the order shown; nothing
// when the text cannot be sent.
std::optional<std::vector<StripFrame>> framesForMessage(std::string_view text);

} // namespace kv::painter
