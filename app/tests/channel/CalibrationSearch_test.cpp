#include "PaintedScreen.h"
#include "channel/CalibrationSearch.h"
#include "channel/DecimalText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv::channel;
using kv::channel::testing::kPatternMatching104To112;
using kv::channel::testing::PaintedScreen;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A painted screen on a simulated clock: each waiting step is 0.05 s, and the
// pattern appears once the player has typed the slash command.
class SimulatedCalibrationScreen : public CalibrationScreen {
public:
    PaintedScreen before;
    PaintedScreen after;
    double patternShownAt = 0.0;
    double secondsPerCapture = 0.0;
    double now = 0.0;
    double deadline = 90.0;
    int waitSteps = 0;

    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) override {
        now += secondsPerCapture;
        return (now >= patternShownAt ? after : before).colorAt(rect, column);
    }
    void waitStep() override {
        now += 0.05;
        ++waitSteps;
    }
    bool deadlinePassed() override { return now > deadline; }
};

struct Logged {
    std::vector<std::string> lines;
    CalibrationLog sink() {
        return [this](const std::string& line) { lines.push_back(line); };
    }
};

void paintPatternFromLine(PaintedScreen& screen, std::size_t topLine, const std::string& row) {
    for (std::size_t line = 0; line < topLine; ++line)
        screen.paintRow(line, std::string(200, '.'));
    for (std::size_t line = topLine; line < topLine + 3; ++line)
        screen.paintRow(line, row);
}

} // namespace

TEST(DecimalText, ShortestExactFormWithADigitAfterThePoint) {
    EXPECT_EQ(decimalText(24.0f), "24.0");
    EXPECT_EQ(decimalText(97.5f), "97.5");
    EXPECT_EQ(decimalText(0.1f), "0.1");
    EXPECT_EQ(decimalText(108.0), "108.0");
    EXPECT_EQ(decimalText(-3.25), "-3.25");
    EXPECT_EQ(rectangleText(2, 1, 97, 1), "(2.0, 1.0, 97.0, 1.0)");
}

TEST(CalibrationSearch, FindsLineFirstCellAndWidthRangeOfThePattern) {
    SimulatedCalibrationScreen screen;
    screen.patternShownAt = 3.0; // the player switches to the game first
    paintPatternFromLine(screen.after, 3, kPatternMatching104To112);
    Logged log;
    ScanGeometry geometry{80.0, 2, 1};

    EXPECT_TRUE(searchCalibration(geometry, screen, log.sink()));

    EXPECT_EQ(geometry, (ScanGeometry{108.0, 4, 3}));
    EXPECT_THAT(log.lines, Contains("CAL: scanVertOffset is now: 3\n"));
    EXPECT_THAT(log.lines, Contains("CAL: dropped out of second loop with right edge equal to 9\n"));
    EXPECT_THAT(log.lines, Contains("CAL: scanHorizOffset is now: 4\n"));
    EXPECT_THAT(log.lines, Contains("CAL: scanning over range 48.0 \u2014 200.0\n"));
    EXPECT_THAT(log.lines, Contains("CAL loop: looking over (4.0, 3.0, 49.0, 1.0)\n"));
    EXPECT_THAT(log.lines, Contains("CAL loop: test width 104.0: detectedPixelColor at 11 was 0\n"));
    EXPECT_THAT(log.lines, Contains("CAL: dropped out of third loop with min scan width equal to 104.0\n"));
    EXPECT_THAT(log.lines, Contains("CAL: dropped out of forth loop with max scan width equal to 112.0\n"));
    EXPECT_THAT(log.lines, Not(Contains("CAL: TIMED OUT!\n")));
    // Widths 49 ... 104 each take one waiting step, as do the line and edge searches.
    EXPECT_LT(screen.now, 10.0);
}

TEST(CalibrationSearch, LogsEachProbedLineWithItsColourCode) {
    SimulatedCalibrationScreen screen;
    paintPatternFromLine(screen.after, 0, kPatternMatching104To112);
    Logged log;
    ScanGeometry geometry;
    searchCalibration(geometry, screen, log.sink());
    EXPECT_THAT(log.lines, Contains("CAL loop 1: detectedPixelColor at testingScanLine 0 is 6\n"));
    EXPECT_THAT(log.lines, Contains("CAL loop 1: detectedPixelColor at testingScanLine 3 is 0\n"));
    EXPECT_THAT(log.lines, Contains("CAL: scanVertOffset is now: 0\n"));
    EXPECT_EQ(geometry.vertOffset, 0);
}

TEST(CalibrationSearch, WithoutLogSinkWritesNothingAndFindsTheSame) {
    SimulatedCalibrationScreen screen;
    paintPatternFromLine(screen.after, 3, kPatternMatching104To112);
    ScanGeometry geometry;
    EXPECT_TRUE(searchCalibration(geometry, screen, CalibrationLog{}));
    EXPECT_EQ(geometry, (ScanGeometry{108.0, 4, 3}));
}

TEST(CalibrationSearch, PatternNeverShownTimesOutAfterNinetySeconds) {
    SimulatedCalibrationScreen screen;
    screen.patternShownAt = 1e9;
    paintPatternFromLine(screen.before, 0, std::string(200, 'W'));
    Logged log;
    ScanGeometry geometry{80.0, 2, 1};

    EXPECT_FALSE(searchCalibration(geometry, screen, log.sink()));

    EXPECT_GT(screen.now, 90.0);
    EXPECT_LT(screen.now, 91.0);
    EXPECT_THAT(log.lines, Contains("CAL: TIMED OUT!\n"));
    EXPECT_THAT(log.lines, Contains("CAL: **scanVertOffset adjusted to 0\n"));
}

TEST(CalibrationSearch, FirstCellWiderThanTenPixelsTimesOut) {
    SimulatedCalibrationScreen screen;
    paintPatternFromLine(screen.after, 2, "MMMMMMMMMMMMMMKKKK");
    ScanGeometry geometry;
    EXPECT_FALSE(searchCalibration(geometry, screen, CalibrationLog{}));
    EXPECT_EQ(geometry.vertOffset, 2);
}

TEST(CalibrationSearch, NarrowFirstCellGivesOffsetOne) {
    SimulatedCalibrationScreen screen;
    paintPatternFromLine(screen.after, 1, "MMKKK");
    screen.deadline = 12.0; // no width matches: long enough to wrap the width search once
    Logged log;
    ScanGeometry geometry;
    searchCalibration(geometry, screen, log.sink());
    EXPECT_THAT(log.lines, Contains("CAL: dropped out of second loop with right edge equal to 2\n"));
    EXPECT_THAT(log.lines, Contains("CAL: **scanHorizOffset adjusted to 1\n"));
    EXPECT_EQ(geometry.horizOffset, 1);
    EXPECT_THAT(log.lines, Contains(HasSubstr("restarted scan search over range 12.0 and 200.0")));
}

TEST(CalibrationSearch, MatchingRangeReachingTheUpperBoundWrapsAndFails) {
    // Cells 17 pixels wide after a first cell of 9 match every width from 191 up to 199.
    SimulatedCalibrationScreen screen;
    screen.secondsPerCapture = 0.001; // the width searches cost real time
    paintPatternFromLine(screen.after, 0, kv::channel::testing::paintedPattern(9, 17));
    Logged log;
    ScanGeometry geometry;
    EXPECT_FALSE(searchCalibration(geometry, screen, log.sink()));
    EXPECT_THAT(log.lines, Contains(HasSubstr("min scan width equal to 191.0")));
}

TEST(CalibrationPattern, EveryCellMustShowItsColour) {
    SimulatedCalibrationScreen screen;
    paintPatternFromLine(screen.after, 0, kPatternMatching104To112);
    EXPECT_TRUE(matchesCalibrationPattern(screen, 108.0f, ScreenRect{4, 0, 108, 1}));
    EXPECT_FALSE(matchesCalibrationPattern(screen, 103.0f, ScreenRect{4, 0, 103, 1}));
    EXPECT_FALSE(matchesCalibrationPattern(screen, 113.0f, ScreenRect{4, 0, 113, 1}));
    EXPECT_FALSE(matchesCalibrationPattern(screen, 108.0f, ScreenRect{4, 5, 108, 1})); // below the strip
    // A capture narrower than the sampled column has no colour there.
    EXPECT_FALSE(matchesCalibrationPattern(screen, 108.0f, ScreenRect{4, 0, 50, 1}));
}
