#include "channel/SampleOffsets.h"

#include <cmath>

namespace kv::channel {

std::int64_t sampleColumn(int index, float width) {
    const float column = static_cast<float>(index) * width / static_cast<float>(kCellCount);
    // Converting a float outside the integer range is undefined; such a width
    // can only come from a damaged stored calibration.
    if (!std::isfinite(column) || std::fabs(column) > 1.0e9f)
        return -1;
    return static_cast<std::int64_t>(std::lround(column));
}

SampleOffsets computeSampleOffsets(double scanWidth) {
    SampleOffsets offsets{};
    if (!std::isfinite(scanWidth) || std::fabs(scanWidth) > 1.0e9) {
        offsets.fill(-1);
        return offsets;
    }
    const auto width = static_cast<float>(scanWidth);
    for (int i = 0; i < kCellCount; ++i)
        offsets[static_cast<std::size_t>(i)] = sampleColumn(i, width);
    return offsets;
}

} // namespace kv::channel
