// The reader tick on a fake screen: capture, frames into bytes, bytes into messages, and around them.
#include "ChannelTestSupport.h"
#include "shell/Configuration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

using namespace kv;
using namespace std::chrono_literals;
using kv::channel::testing::paintFrame;
using ::testing::HasSubstr;

namespace {

struct Frame {
    int value; // -1: no strip at all
    int phase;
};

std::vector<Frame> framesOf(const std::vector<int>& bytes) {
    std::vector<Frame> frames;
    for (int byte : bytes)
        frames.insert(frames.end(), {{byte, 0}, {byte, 1}});
    return frames;
}

std::vector<int> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

class ReaderTest : public kv::channel::testing::ControllerTest {
protected:
    // Each frame stays on the screen for `ticks` reader ticks.
    void send(const std::vector<Frame>& frames, int ticks = 1) {
        for (const Frame& frame : frames) {
            if (frame.value < 0)
                fake.screen.clear();
            else
                paintFrame(fake.screen, 2, 1, 80.0, frame.value, frame.phase);
            for (int i = 0; i < ticks; ++i) {
                controller.recordColorsThread();
                fake.runLoop.runPosted();
            }
        }
    }
};

TEST_F(ReaderTest, FramesBecomeBytesAndBytesMessagesByTheAddOnsRules) {
    struct Case {
        std::vector<Frame> frames;
        int ticks;
        std::string message;
        std::vector<std::uint8_t> leftOver;
    };
    const Case cases[] = {
        {framesOf({65, 66, 7, 8}), 1, "AB", {}},
        // A byte counts once however long its frames stay.
        {framesOf({65, 66, 7, 8}), 3, "AB", {}},
        // Only a phase-1 frame of the latest phase-0 value counts; captures that are no frame change nothing.
        {{{65, 1}, {65, 0}, {66, 0}, {65, 1}, {-1, 0}, {66, 1}}, 1, "", {66}},
        // A one-byte message is no message; its bytes go in front of the next.
        {framesOf({65, 7, 8}), 1, "", {65, 7}},
        {framesOf({65, 7, 8, 67, 68, 7, 8}), 1, "A\aCD", {}},
        // 255 is never collected, 0 is, an 8 without a 7 before it is, and only the last 7 goes.
        {framesOf({255, 0, 8, 7, 7, 8}), 1, std::string("\0\x08\x07", 3), {}},
        // Right after a message an 8 is taken as a terminator and lost.
        {framesOf({65, 66, 7, 8, 8, 67, 7, 8}), 1, "AB", {67, 7}},
        // A later message replaces one still waiting in the slot.
        {framesOf({65, 66, 7, 8, 67, 68, 7, 8}), 1, "CD", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " over " + std::to_string(c.frames.size()) + " frames");
        controller.currentMessage.clear();
        controller.nameInProgress.clear();
        controller.rememberLastChar = 0;
        send(c.frames, c.ticks);
        EXPECT_EQ(controller.currentMessage, c.message);
        EXPECT_EQ(controller.nameInProgress, c.leftOver);
    }
}

TEST_F(ReaderTest, AMessageThatIsNotUtf8IsDroppedAndReadingGoesOn) {
    controller.debugMode = true;
    send(framesOf({0x54, 0xC3, 0x28, 7, 8}));
    EXPECT_EQ(controller.currentMessage, "");
    EXPECT_THAT(fake.log.text, HasSubstr("not valid UTF-8"));
    send(framesOf({0xC3, 0xA9, 7, 8}));
    EXPECT_EQ(controller.currentMessage, "\xC3\xA9");
}

TEST_F(ReaderTest, APartialMessageIsDiscardedAfterThreeSecondsWithoutANewByte) {
    controller.debugMode = true;
    controller.showOnDesktopToo = true;
    fake.app.resourceFolder = KV_RESOURCE_DIR;
    // The game closed, or a loading screen came, half-way through a message; the add-on resends later.
    for (const auto& [pause, message] :
         {std::pair{2.5s, "Jaina-PrThrall-Area 52"}, std::pair{3.0s, "Thrall-Area 52"}}) {
        fake.log.text.clear();
        send(framesOf(bytesOf("Jaina-Pr")));
        send({{-1, 0}});
        fake.runLoop.currentTime += std::chrono::duration_cast<Clock::duration>(pause);
        send(framesOf(bytesOf("Thrall-Area 52")));
        send(framesOf({7, 8}));
        EXPECT_EQ(controller.currentMessage, message);
        EXPECT_EQ(fake.log.text.find("Discarded a partial message") != std::string::npos, pause >= 3s);
    }
    // A realm with digits is a realm: a character page, not an NPC page.
    controller.readMsgQueue();
    ASSERT_FALSE(fake.desktop.opened.empty());
    EXPECT_THAT(fake.desktop.opened.back().address,
                HasSubstr(std::string(config::gameSiteHost) + "/en-us/character/area-52/Thrall"));
}

TEST_F(ReaderTest, SleepSuspendsReadingAndKeepsAHalfMessage) {
    controller.debugMode = true;
    send(framesOf({65}));
    send({{66, 0}});
    controller.screenAboutToSleep();
    const int captures = fake.screen.captureCount;
    send({{66, 1}});
    EXPECT_EQ(fake.screen.captureCount, captures);
    controller.screenWakesUpFromSleep();
    send({{66, 1}});
    send(framesOf({7, 8}));
    EXPECT_EQ(controller.currentMessage, "AB");
    EXPECT_EQ(fake.log.text,
              "Going to sleep; suspending screen reads.\nWaking from sleep; resuming screen reads.\n");
}

TEST_F(ReaderTest, CaptureSamplesOnePixelPerCellAndReportsMissingDisplaysOncePerLoss) {
    paintFrame(fake.screen, 2, 1, 80.0, 0x5A, 1);
    controller.myScanRect->width = 70.0; // the last sample falls beyond the image: black
    ASSERT_TRUE(controller.captureStrip());
    EXPECT_EQ(controller.scanData, (std::array<std::int64_t, 12>{1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0}));
    const auto before = controller.scanData;
    fake.screen.captureFails = true; // no image: nothing changes
    EXPECT_FALSE(controller.captureStrip());
    fake.screen.captureFails = false;
    // No display, twice; an error, which counts as none; a display; none again.
    for (const auto displays : std::vector<std::optional<std::uint32_t>>{0, 0, std::nullopt, 1, 0}) {
        fake.screen.displayCount = displays;
        EXPECT_EQ(controller.captureStrip(), displays == 1u);
        fake.runLoop.runPosted();
    }
    EXPECT_EQ(controller.scanData, before);
    EXPECT_EQ(fake.log.text, "recordColors: No displays available.\nrecordColors: No displays available.\n");
}

TEST(LoadCalibration, StoredGeometryIsUsedUnlessWidthAndOffsetSumToZeroOrTheWidthIsDamaged) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::tuple<float, int, bool> stored[] = {{0.0f, 0, false},  {0.75f, 0, false}, {0.0f, 5, true},
                                                   {108.0f, 4, true}, {-4.5f, 4, false}, {nan, 4, false}};
    for (const auto& [width, horiz, used] : stored) {
        fakes::FakePlatform fake;
        fake.defaults.setFloat("scanWidth", width);
        fake.defaults.setInteger("scanHorizOffset", horiz);
        fake.defaults.setInteger("scanVertOffset", 7);
        AppDelegate controller{fake.platform()};
        EXPECT_EQ(controller.loadCalibration(), !used) << width;
        EXPECT_EQ(controller.scanWidth, used ? width : 80.0) << width;
        EXPECT_EQ(controller.scanHorizOffset, used ? horiz : 2);
        EXPECT_EQ(controller.scanVertOffset, used ? 7 : 1);
    }
}

} // namespace
