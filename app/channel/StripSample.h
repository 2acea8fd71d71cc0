// One capture of the strip, taken where the reader's timer runs (a thread of
// its own in the application) and decoded later on the main thread; and the
// geometry the capturing side reads, which only the main thread changes.
#pragma once

#include "channel/SampleOffsets.h"
#include "platform/RunLoop.h"
#include "platform/ScreenCapture.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

namespace kv::channel {

struct StripSample {
    enum class Outcome { NoDisplay, NoImage, Sampled };

    Outcome outcome = Outcome::NoImage;
    Clock::time_point takenAt{};
    std::array<PixelColor, kCellCount> colors{}; // for Sampled: one per cell, black outside the image
};

// The scan rectangle and sample offsets, copied under a lock so that the
// capturing thread never reads them while the main thread writes them.
class SharedScanGeometry {
public:
    struct Snapshot {
        std::optional<Rect> rect;
        SampleOffsets offsets{};
        bool reading = true; // false while screen reads are suspended
    };

    void publish(const Snapshot& snapshot) {
        const std::lock_guard lock(mutex_);
        snapshot_ = snapshot;
    }
    Snapshot snapshot() const {
        const std::lock_guard lock(mutex_);
        return snapshot_;
    }

private:
    mutable std::mutex mutex_;
    Snapshot snapshot_;
};

} // namespace kv::channel
