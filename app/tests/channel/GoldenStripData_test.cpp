// The add-on's own frame and pattern data, decoded the way the reader and the
// calibration do: the two sides of the strip must not drift apart.
#ifdef KV_GOLDEN_DIR

#include "channel/ByteConfirmation.h"
#include "channel/CalibrationSearch.h"
#include "channel/ColorCode.h"
#include "channel/MessageAssembly.h"
#include "channel/StripFrame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace kv::channel;

namespace {

struct GoldenMessage {
    std::string text;
    std::vector<CellStates> frames;
};

std::vector<GoldenMessage> readGoldenFrames() {
    std::ifstream in(std::string(KV_GOLDEN_DIR) + "/strip-frames.txt");
    std::vector<GoldenMessage> messages;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("message ", 0) == 0) {
            messages.push_back({line.substr(8), {}});
            continue;
        }
        CellStates cells{};
        for (std::size_t i = 0; i < 12 && i < line.size(); ++i)
            cells[i] = line[i] == '1' ? 1 : 0;
        if (!messages.empty())
            messages.back().frames.push_back(cells);
    }
    return messages;
}

} // namespace

TEST(GoldenStripData, EveryFrameSequenceOfTheAddOnDecodesToItsMessage) {
    const auto messages = readGoldenFrames();
    ASSERT_FALSE(messages.empty());
    std::string phase1, phase2;
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    for (const auto& message : messages) {
        SCOPED_TRACE(message.text);
        std::string decoded;
        for (const CellStates& cells : message.frames) {
            if (const auto byte = confirmFrame(phase1, phase2, framePhase(cells), frameValue(cells))) {
                const AcceptedByte result = acceptByte(buffer, last, *byte);
                if (result.outcome == ByteOutcome::MessageComplete)
                    decoded = result.text;
            }
        }
        EXPECT_EQ(decoded, message.text);
    }
}

TEST(GoldenStripData, CalibrationPatternColoursClassifyAsTheExpectedCodes) {
    std::ifstream in(std::string(KV_GOLDEN_DIR) + "/calibration-pattern.txt");
    std::string line;
    int cells = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        int cell = 0, code = 0;
        double red = 0, green = 0, blue = 0;
        fields >> cell >> code >> red >> green >> blue;
        ASSERT_TRUE(cell >= 0 && cell < 12);
        EXPECT_EQ(classifyColor(red, green, blue), kCalibrationPattern[static_cast<std::size_t>(cell)])
            << line;
        ++cells;
    }
    EXPECT_EQ(cells, 12);
}

#endif
