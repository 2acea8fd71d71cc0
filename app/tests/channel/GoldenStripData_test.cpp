// The add-on's own frame and pattern data, decoded the way the reader and the
// calibration do: the two sides of the strip must not drift apart.
#include "GoldenData.h"
#include "channel/ByteConfirmation.h"
#include "channel/CalibrationSearch.h"
#include "channel/MessageAssembly.h"
#include "channel/StripFrame.h"

#include <gtest/gtest.h>

using namespace kv::channel;

TEST(GoldenStripData, EveryFrameSequenceOfTheAddOnDecodesToItsMessage) {
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
}

TEST(GoldenStripData, CalibrationPatternColoursClassifyAsTheExpectedCodes) {
    const auto cells = kv::testsupport::readGoldenPattern();
    ASSERT_EQ(cells.size(), 12u);
    for (const auto& cell : cells)
        EXPECT_EQ(classifyColor(cell.rgb[0], cell.rgb[1], cell.rgb[2]),
                  kCalibrationPattern.at(static_cast<std::size_t>(cell.cell)))
            << cell.cell;
}
