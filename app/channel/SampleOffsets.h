// Where the reader and calibration look inside a captured strip: one pixel
// column per cell, spread evenly over the strip's width.
#pragma once

#include <array>
#include <cstdint>

namespace kv::channel {

// The strip's cells, left to right.
inline constexpr int kCellCount = 12;
using SampleOffsets = std::array<std::int64_t, kCellCount>;

// Column of cell `index` in a strip `width` pixels wide: index * width / 12 in
// single precision (multiplied first), rounded half away from zero. Widths so
// large or so strange that the column cannot be represented give -1, a column
// outside every image, which reads as black.
std::int64_t sampleColumn(int index, float width);

// The sample column of each cell for a strip width; the width is narrowed to
// single precision first, exactly as calibration tests candidate widths.
SampleOffsets computeSampleOffsets(double scanWidth);

} // namespace kv::channel
