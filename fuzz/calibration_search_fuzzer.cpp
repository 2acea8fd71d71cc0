// Runs the calibration search over random screens. Properties: the search
// always ends (every loop heeds the deadline), a search that reports success
// found a geometry whose 12 cells really show the pattern on that screen, and
// nothing is read outside the screen.
#include "channel/CalibrationSearch.h"
#include "channel/ColorCode.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

using kv::channel::Rgb;
using kv::channel::ScreenRect;

// Lines 0..8 of a screen, each `width` pixels; a pixel is one of the eight
// colour codes, or a dim grey that reads as black.
class RandomScreen : public kv::channel::CalibrationScreen {
public:
    static constexpr std::int64_t kLines = 9;

    RandomScreen(const std::uint8_t* data, std::size_t size)
        : width_(static_cast<std::int64_t>(size / kLines)), pixels_(data, data + width_ * kLines) {}

    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) override {
        if (++captures_ > 50'000'000)
            std::abort(); // a loop that never looks at the deadline
        // The captured image is the rectangle, clipped to whole pixels.
        if (column < 0 || static_cast<double>(column) >= std::ceil(rect.width))
            return std::nullopt;
        const double x = std::floor(rect.x) + static_cast<double>(column);
        const double y = std::floor(rect.y);
        if (!(x >= 0 && y >= 0 && x < static_cast<double>(width_) && y < kLines))
            return Rgb{};
        const std::uint8_t pixel = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                           static_cast<std::size_t>(x)];
        if (pixel & 8)
            return Rgb{0.04, 0.04, 0.04};
        return Rgb{(pixel & 1) ? 1.0 : 0.0, (pixel & 2) ? 1.0 : 0.0, (pixel & 4) ? 1.0 : 0.0};
    }
    void waitStep() override { ++steps_; }
    bool deadlinePassed() override { return steps_ >= 1800; } // 90 s of 0.05-second steps

private:
    std::int64_t width_;
    std::vector<std::uint8_t> pixels_;
    long captures_ = 0;
    int steps_ = 0;
};

// A screen that never runs out of time, for checking a found geometry.
class Replay : public kv::channel::CalibrationScreen {
public:
    explicit Replay(RandomScreen& screen) : screen_(screen) {}
    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) override {
        return screen_.colorAt(rect, column);
    }
    void waitStep() override {}
    bool deadlinePassed() override { return false; }

private:
    RandomScreen& screen_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 9 * 400)
        return 0;
    RandomScreen screen(data, size);
    kv::channel::ScanGeometry geometry;
    const bool found = kv::channel::searchCalibration(geometry, screen, {});
    if (!found)
        return 0;
    if (!std::isfinite(geometry.width) || geometry.width <= 0)
        std::abort();
    Replay replay(screen);
    const ScreenRect strip{static_cast<double>(geometry.horizOffset),
                           static_cast<double>(geometry.vertOffset), geometry.width, 1.0};
    if (!kv::channel::matchesCalibrationPattern(replay, static_cast<float>(geometry.width), strip))
        std::abort();
    return 0;
}
