#include "channel/MessageAssembly.h"

#include <CoreFoundation/Utf.h>

#include <string_view>

namespace kv::channel {

AcceptedByte acceptByte(std::vector<std::uint8_t>& nameInProgress, std::int64_t& rememberLastChar,
                        int value) {
    AcceptedByte result;
    if (value == kTerminatorSecond && rememberLastChar == kTerminatorFirst) {
        // At least two message bytes and the 7; shorter runs stay and end up in
        // front of the next message, as the add-on expects.
        if (nameInProgress.size() < 3) {
            result.outcome = ByteOutcome::TooShortToFinish;
            return result;
        }
        const std::string_view body(reinterpret_cast<const char*>(nameInProgress.data()),
                                    nameInProgress.size() - 1);
        if (kvcf::isValidUtf8(body)) {
            result.outcome = ByteOutcome::MessageComplete;
            result.text = body;
        } else {
            result.outcome = ByteOutcome::DroppedInvalid;
        }
        nameInProgress.clear();
        return result;
    }
    if (value < 0 || value > kHighestMessageByte)
        return result;

    if (nameInProgress.size() >= kMaxMessageBytes) {
        nameInProgress.clear();
        result.discardedOverflow = true;
    }
    nameInProgress.push_back(static_cast<std::uint8_t>(value));
    rememberLastChar = value;
    result.outcome = ByteOutcome::Collected;
    return result;
}

} // namespace kv::channel
