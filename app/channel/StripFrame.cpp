#include "channel/StripFrame.h"

namespace kv::channel {

int frameValue(const CellStates& lit, const CellStates& weights) {
    std::int64_t value = 0;
    for (std::size_t i = 0; i < lit.size(); ++i)
        value += weights[i] * lit[i];
    return static_cast<int>(value);
}

FramePhase framePhase(const CellStates& lit) {
    if (lit[0] == 0 || lit[10] == 0)
        return FramePhase::None;
    if (lit[1] == 0 && lit[11] == 0)
        return FramePhase::Phase0;
    if (lit[1] != 0 && lit[11] != 0)
        return FramePhase::Phase1;
    return FramePhase::None;
}

} // namespace kv::channel
