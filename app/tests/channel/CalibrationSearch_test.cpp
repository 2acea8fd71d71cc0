// The calibration search's ways of failing, on a fake screen and a clock that
// only waiting steps (0.05 s) and, where a case asks for it, captures advance.
#include "ChannelTestSupport.h"
#include "channel/CalibrationSearch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kv::channel;
using kv::channel::testing::paintedPattern;

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

TEST(CalibrationSearch, EndsAtItsDeadlineWhenThePatternIsNotAsTheAddOnPaintsIt) {
    struct Case {
        std::int64_t top; // the row is painted on three lines from here
        std::string row;
        double deadline, secondsPerCapture;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {2, paintedPattern(14, 14), 90.0, 0.0, {"CAL: scanVertOffset is now: 2\n", "CAL: TIMED OUT!\n"}},
        // A narrow first cell gives offset 1, and the width search wraps once in 12 s.
        {1,
         "MMKKK",
         12.0,
         0.0,
         {"CAL: **scanHorizOffset adjusted to 1\n",
          "CAL: restarted scan search over range 12.0 and 200.0\n"}},
        // After a 9-pixel first cell, 17-pixel cells match every width from 191 to 199; the
        // largest-width search wraps and keeps matching until the deadline.
        {0,
         paintedPattern(9, 17),
         90.0,
         0.001,
         {"CAL: dropped out of third loop with min scan width equal to 191.0\n"}},
    };
    for (const Case& c : cases) {
        SimulatedScreen sim;
        sim.deadline = c.deadline;
        sim.secondsPerCapture = c.secondsPerCapture;
        for (std::int64_t line = c.top; line < c.top + 3; ++line)
            kv::channel::testing::paintLetters(sim.screen, line, c.row);
        std::vector<std::string> log;
        ScanGeometry geometry;
        EXPECT_FALSE(searchCalibration(geometry, sim, [&](const std::string& line) { log.push_back(line); }));
        for (const std::string& line : c.lines)
            EXPECT_THAT(log, ::testing::Contains(line));
    }
}

} // namespace
