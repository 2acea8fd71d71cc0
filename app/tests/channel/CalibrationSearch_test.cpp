// The calibration search's ways of failing, on a fake screen and a clock that
// only waiting steps (0.05 s) and, where a test asks for it, captures advance.
#include "ChannelTestSupport.h"
#include "channel/CalibrationSearch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kv::channel;
using kv::channel::testing::paintedPattern;
using ::testing::AllOf;
using ::testing::Contains;

namespace {

class SimulatedScreen : public CalibrationScreen {
public:
    kv::fakes::FakeScreenCapture screen;
    double secondsPerCapture = 0.0;
    double now = 0.0;
    double deadline = 90.0;

    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) override {
        now += secondsPerCapture;
        const auto color =
            screen.captureMainDisplay({rect.x, rect.y, rect.width, rect.height})->colorAt(column, 0);
        return color ? std::optional<Rgb>(Rgb{color->red, color->green, color->blue}) : std::nullopt;
    }
    void waitStep() override { now += 0.05; }
    bool deadlinePassed() override { return now > deadline; }
};

// The log of a search, which must fail, for `row` painted on three lines from `top`.
std::vector<std::string> failedSearch(std::int64_t top, const std::string& row, double deadline = 90.0,
                                      double secondsPerCapture = 0.0) {
    SimulatedScreen sim;
    sim.deadline = deadline;
    sim.secondsPerCapture = secondsPerCapture;
    for (std::int64_t line = top; line < top + 3; ++line)
        kv::channel::testing::paintLetters(sim.screen, line, row);
    std::vector<std::string> log;
    ScanGeometry geometry;
    EXPECT_FALSE(searchCalibration(geometry, sim, [&](const std::string& line) { log.push_back(line); }));
    return log;
}

TEST(CalibrationSearch, FirstCellWiderThanTenPixelsTimesOut) {
    EXPECT_THAT(failedSearch(2, paintedPattern(14, 14)),
                AllOf(Contains("CAL: scanVertOffset is now: 2\n"), Contains("CAL: TIMED OUT!\n")));
}

TEST(CalibrationSearch, NarrowFirstCellGivesOffsetOneAndTheWidthSearchWraps) {
    EXPECT_THAT(failedSearch(1, "MMKKK", 12.0), // long enough to wrap once
                AllOf(Contains("CAL: **scanHorizOffset adjusted to 1\n"),
                      Contains("CAL: restarted scan search over range 12.0 and 200.0\n")));
}

TEST(CalibrationSearch, MatchingRangeReachingTheUpperBoundFails) {
    // After a 9-pixel first cell, 17-pixel cells match every width from 191 to 199;
    // the largest-width search wraps and keeps matching until the deadline.
    EXPECT_THAT(failedSearch(0, paintedPattern(9, 17), 90.0, 0.001),
                Contains("CAL: dropped out of third loop with min scan width equal to 191.0\n"));
}

} // namespace
