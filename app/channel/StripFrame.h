// What the 12 lit/dark cells of one capture mean: a frame's phase and value.
//
//   cell  0     1      2..9                10    11
//         mark  phase  data bits 7..0      mark  phase (equal to cell 1)
#pragma once

#include "channel/SampleOffsets.h"

#include <array>
#include <cstdint>

namespace kv::channel {

using CellStates = std::array<std::int64_t, kCellCount>;

// Weight of each cell in a frame's value; markers and phase bits weigh 0.
inline constexpr CellStates kCellWeights{0, 0, 128, 64, 32, 16, 8, 4, 2, 1, 0, 0};

enum class FramePhase {
    None,   // not a character frame: a marker is dark or the phase cells disagree
    Phase0, // markers lit, both phase cells dark
    Phase1, // markers lit, both phase cells lit
};

// Sum of the weights of the lit cells (0..255). Computed for every capture,
// frame or not, as the reader does.
int frameValue(const CellStates& lit, const CellStates& weights = kCellWeights);

FramePhase framePhase(const CellStates& lit);

} // namespace kv::channel
