// The calibrated position and width of the strip, as the user defaults keep
// them, and the geometry used when none is stored.
#pragma once

#include <cstdint>

namespace kv::channel {

struct ScanGeometry {
    double width = 0.0;
    std::int64_t horizOffset = 0;
    std::int64_t vertOffset = 0;

    bool operator==(const ScanGeometry&) const = default;
};

// Where the add-on paints the strip on a screen nobody calibrated yet.
inline constexpr ScanGeometry kDefaultScanGeometry{80.0, 2, 1};

// A failed calibration stores 0.0 / 0 / 0, so a stored geometry counts only
// when its width, truncated toward zero, plus its horizontal offset is not 0.
// A width that is not a finite number is damage and never counts.
bool isStoredGeometryUsable(float storedWidth, std::int64_t storedHorizOffset);

} // namespace kv::channel
