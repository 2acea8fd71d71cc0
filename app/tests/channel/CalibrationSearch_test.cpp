#include "FakeScreenCapture.h"
#include "ScreenPainting.h"
#include "channel/CalibrationSearch.h"
#include "channel/DecimalText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv::channel;
using namespace kv::channel::testing;
using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

// The fake screen on a clock that only waiting steps (0.05 s) and, where a
// test asks for it, captures advance.
class SimulatedScreen : public CalibrationScreen {
public:
    kv::fakes::FakeScreenCapture screen;
    double secondsPerCapture = 0.0;
    double now = 0.0;
    double deadline = 90.0;
    std::vector<std::string> log;

    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) override {
        now += secondsPerCapture;
        const auto color =
            screen.captureMainDisplay({rect.x, rect.y, rect.width, rect.height})->colorAt(column, 0);
        if (!color)
            return std::nullopt;
        return Rgb{color->red, color->green, color->blue};
    }
    void waitStep() override { now += 0.05; }
    bool deadlinePassed() override { return now > deadline; }

    void paintFromLine(std::int64_t top, const std::string& row) {
        for (std::int64_t line = top; line < top + 3; ++line)
            paintLetters(screen, line, row);
    }
    bool search(ScanGeometry& geometry) {
        return searchCalibration(geometry, *this, [this](const std::string& line) { log.push_back(line); });
    }
};

} // namespace

TEST(DecimalText, ShortestExactFormWithADigitAfterThePoint) {
    EXPECT_EQ(decimalText(24.0f), "24.0");
    EXPECT_EQ(decimalText(97.5f), "97.5");
    EXPECT_EQ(decimalText(0.1f), "0.1");
    EXPECT_EQ(decimalText(-3.25), "-3.25");
    EXPECT_EQ(rectangleText(2, 1, 97, 1), "(2.0, 1.0, 97.0, 1.0)");
}

TEST(CalibrationSearch, FirstCellWiderThanTenPixelsTimesOut) {
    SimulatedScreen sim;
    sim.paintFromLine(2, paintedPattern(14, 14));
    ScanGeometry geometry;
    EXPECT_FALSE(sim.search(geometry));
    EXPECT_EQ(geometry.vertOffset, 2);
    EXPECT_THAT(sim.log, Contains("CAL: TIMED OUT!\n"));
}

TEST(CalibrationSearch, NarrowFirstCellGivesOffsetOneAndTheWidthSearchWraps) {
    SimulatedScreen sim;
    sim.paintFromLine(1, "MMKKK");
    sim.deadline = 12.0; // long enough to wrap the width search once
    ScanGeometry geometry;
    EXPECT_FALSE(sim.search(geometry));
    EXPECT_EQ(geometry.horizOffset, 1);
    EXPECT_THAT(sim.log, Contains("CAL: **scanHorizOffset adjusted to 1\n"));
    EXPECT_THAT(sim.log, Contains("CAL: restarted scan search over range 12.0 and 200.0\n"));
}

TEST(CalibrationSearch, MatchingRangeReachingTheUpperBoundFails) {
    // After a 9-pixel first cell, 17-pixel cells match every width from 191 to 199;
    // the largest-width search wraps and keeps matching until the deadline.
    SimulatedScreen sim;
    sim.secondsPerCapture = 0.001;
    sim.paintFromLine(0, paintedPattern(9, 17));
    ScanGeometry geometry;
    EXPECT_FALSE(sim.search(geometry));
    EXPECT_THAT(sim.log, Contains(HasSubstr("min scan width equal to 191.0")));
}

TEST(CalibrationPattern, EveryCellMustShowItsColourInsideTheCapture) {
    SimulatedScreen sim;
    sim.paintFromLine(0, kPatternMatching104To112);
    EXPECT_TRUE(matchesCalibrationPattern(sim, 108.0f, ScreenRect{4, 0, 108, 1}));
    EXPECT_FALSE(matchesCalibrationPattern(sim, 103.0f, ScreenRect{4, 0, 103, 1}));
    EXPECT_FALSE(matchesCalibrationPattern(sim, 113.0f, ScreenRect{4, 0, 113, 1}));
    EXPECT_FALSE(matchesCalibrationPattern(sim, 108.0f, ScreenRect{4, 5, 108, 1}));
    EXPECT_FALSE(
        matchesCalibrationPattern(sim, 108.0f, ScreenRect{4, 0, 50, 1})); // columns beyond the capture
}
