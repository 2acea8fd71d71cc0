#include "channel/ScanGeometry.h"

#include <cmath>

namespace kv::channel {

bool isStoredGeometryUsable(float storedWidth, std::int64_t storedHorizOffset) {
    if (!std::isfinite(storedWidth))
        return false;
    // Summed as long double: an integer conversion of a huge float would be
    // undefined, and the sum can only be 0 when both parts are small.
    const long double sum = std::trunc(static_cast<long double>(storedWidth)) + storedHorizOffset;
    return sum != 0.0L;
}

} // namespace kv::channel
