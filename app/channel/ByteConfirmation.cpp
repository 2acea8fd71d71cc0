#include "channel/ByteConfirmation.h"

namespace kv::channel {

std::string frameKey(int value) {
    return std::to_string(value);
}

std::optional<int> confirmFrame(std::string& phase1Key, std::string& phase2Key, FramePhase phase, int value) {
    const std::string key = frameKey(value);
    if (phase == FramePhase::Phase0)
        phase1Key = key;
    else if (phase == FramePhase::Phase1 && key == phase1Key)
        phase2Key = key;

    if (phase1Key != phase2Key || phase1Key.empty())
        return std::nullopt;
    phase1Key.clear();
    phase2Key.clear();
    return value;
}

} // namespace kv::channel
