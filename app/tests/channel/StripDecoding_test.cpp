// The reader's pure parts, the add-on's golden frames and pattern decoded by them (so the two sides
// cannot drift apart), and the calibration search's failures on a simulated screen and clock.
#include "ChannelTestSupport.h"
#include "GoldenData.h"
#include "channel/ByteConfirmation.h"
#include "channel/CalibrationSearch.h"
#include "channel/MessageAssembly.h"
#include "channel/SampleOffsets.h"
#include "channel/StripFrame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

using namespace kv::channel;
using kv::channel::testing::paintedPattern;

TEST(ColorRule, AComponentIsLitFrom14Of256AndDimComponentsDoNotChangeTheCode) {
    EXPECT_FALSE(isLit(0.0546874, 0.0546874, 0.0546874));
    EXPECT_TRUE(isLit(0.0, 0.0, 0.0546875));
    EXPECT_EQ(classifyColor(0.0546875, 0.0, 0.0), kRed);
    EXPECT_EQ(classifyColor(0.9, 0.05, 0.8), kMagenta);
}

TEST(SampleOffsets, SpreadTwelveColumnsOverTheWidthMultiplyingFirstInSinglePrecision) {
    EXPECT_EQ(computeSampleOffsets(80.0), (SampleOffsets{0, 7, 13, 20, 27, 33, 40, 47, 53, 60, 67, 73}));
    EXPECT_EQ(computeSampleOffsets(102.5), (SampleOffsets{0, 9, 17, 26, 34, 43, 51, 60, 68, 77, 85, 94}));
    EXPECT_EQ(computeSampleOffsets(12.0), (SampleOffsets{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    // Halves round away from zero.
    EXPECT_EQ(sampleColumn(1, 6.0f), 1);
    EXPECT_EQ(sampleColumn(1, -6.0f), -1);
    // 9 * w / 12 lands on 51.5 in single precision; dividing first, or in double precision, gives 51.
    EXPECT_EQ(computeSampleOffsets(static_cast<double>(68.666664f))[9], 52);
    // A stored width is a float: a double just below 6 samples like 6.0f.
    EXPECT_EQ(computeSampleOffsets(5.99999999)[1], 1);
    // Zero samples one pixel; damaged widths sample nothing.
    EXPECT_EQ(computeSampleOffsets(0.0), SampleOffsets{});
    SampleOffsets outside;
    outside.fill(-1);
    EXPECT_EQ(computeSampleOffsets(1.0e30), outside);
    EXPECT_EQ(computeSampleOffsets(std::numeric_limits<double>::quiet_NaN()), outside);
}

TEST(MessageAssembly, EndlessGarbageNeverGrowsTheBufferBeyondItsBound) {
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    bool discarded = false;
    for (std::size_t i = 0; i < 10 * kMaxMessageBytes; ++i) {
        discarded |= acceptByte(buffer, last, 'x').discardedOverflow;
        ASSERT_LE(buffer.size(), kMaxMessageBytes);
    }
    EXPECT_TRUE(discarded);
    // The longest message that fits still arrives whole after the garbage.
    buffer.clear();
    for (std::size_t i = 0; i + 1 < kMaxMessageBytes; ++i)
        acceptByte(buffer, last, 'y');
    acceptByte(buffer, last, 7);
    EXPECT_EQ(acceptByte(buffer, last, 8).text, std::string(kMaxMessageBytes - 1, 'y'));
}

TEST(GoldenStripData, EveryFrameSequenceOfTheAddOnDecodesToItsMessageAndThePatternToItsCodes) {
    const auto messages = kv::testsupport::readGoldenFrames();
    ASSERT_FALSE(messages.empty());
    std::string phase1, phase2;
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    for (const auto& message : messages) {
        std::string decoded;
        for (const auto& frame : message.frames) {
            CellStates cells{};
            std::copy(frame.lit.begin(), frame.lit.end(), cells.begin());
            if (const auto byte = confirmFrame(phase1, phase2, framePhase(cells), frameValue(cells)))
                if (const AcceptedByte result = acceptByte(buffer, last, *byte);
                    result.outcome == ByteOutcome::MessageComplete)
                    decoded = result.text;
        }
        EXPECT_EQ(decoded, message.text);
    }
    const auto cells = kv::testsupport::readGoldenPattern();
    ASSERT_EQ(cells.size(), std::size_t{kCellCount});
    for (const auto& cell : cells)
        EXPECT_EQ(classifyColor(cell.rgb[0], cell.rgb[1], cell.rgb[2]),
                  kCalibrationPattern.at(static_cast<std::size_t>(cell.cell)))
            << cell.cell;
}

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
