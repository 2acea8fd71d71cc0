#include "ControllerFixture.h"
#include "ScreenPainting.h"
#include "shell/AppDelegate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv;
using kv::channel::testing::paintFrame;
using ::testing::HasSubstr;

namespace {

struct Frame {
    int value;
    int phase;
};

// The reader on a fake screen, with the geometry a first start puts in place.
class ReaderTest : public kv::channel::testing::ControllerTest {
protected:
    void show(Frame frame) { paintFrame(fake.screen, 2, 1, 80.0, frame.value, frame.phase); }

    // Each frame stays on the screen for `ticks` reader ticks.
    void send(const std::vector<Frame>& frames, int ticks = 1) {
        for (const Frame& frame : frames) {
            show(frame);
            for (int i = 0; i < ticks; ++i)
                tick();
        }
    }
    void sendBytes(const std::vector<int>& bytes, int ticks = 1) {
        for (int byte : bytes)
            send({{byte, 0}, {byte, 1}}, ticks);
    }
    void tick() {
        controller.recordColorsThread();
        fake.runLoop.runPosted();
    }
    std::vector<std::uint8_t> collected() const { return controller.nameInProgress; }
};

} // namespace

TEST_F(ReaderTest, FramesOfABMakeOneMessage) {
    send({{65, 0}, {65, 1}, {66, 0}, {66, 1}, {7, 0}, {7, 1}, {8, 0}, {8, 1}});
    EXPECT_EQ(controller.currentMessage, "AB");
    EXPECT_TRUE(controller.nameInProgress.empty());
    EXPECT_EQ(controller.rememberLastChar, 7);
}

TEST_F(ReaderTest, FramesSeenOverSeveralTicksCountOnce) {
    sendBytes({65, 66, 7}, 3);
    send({{8, 0}, {8, 1}}, 1);
    EXPECT_EQ(controller.currentMessage, "AB");
    // The terminator's phase-1 frame stays on the screen: nothing more happens.
    controller.currentMessage.clear();
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(controller.currentMessage, "");
    EXPECT_TRUE(controller.nameInProgress.empty());
}

TEST_F(ReaderTest, AcceptsOnlyAPhase1FrameOfTheLatestPhase0Value) {
    send({{65, 1}});
    EXPECT_TRUE(collected().empty());
    send({{65, 0}, {66, 0}, {65, 1}});
    EXPECT_TRUE(collected().empty());
    send({{66, 1}});
    EXPECT_EQ(collected(), (std::vector<std::uint8_t>{66}));
}

TEST_F(ReaderTest, CapturesThatAreNoFrameLeaveThePendingByteAlone) {
    send({{65, 0}});
    fake.screen.fillRect(0, 1, 100, 1, PixelColor{}); // strip gone
    tick();
    show({65, 1});
    fake.screen.setPixel(2 + controller.pixelOffsets[11], 1, PixelColor{}); // phase cells disagree
    tick();
    EXPECT_TRUE(collected().empty());
    send({{65, 1}});
    EXPECT_EQ(collected(), (std::vector<std::uint8_t>{65}));
}

TEST_F(ReaderTest, MessageAssemblyRules) {
    struct Case {
        std::vector<int> bytes;
        std::string message;
        std::vector<std::uint8_t> leftOver;
    };
    const Case cases[] = {
        // A one-byte message is no message; its bytes go in front of the next.
        {{65, 7, 8}, "", {65, 7}},
        {{65, 7, 8, 67, 68, 7, 8}, "A\aCD", {}},
        // 255 is never collected, 0 is, an 8 without a 7 before it is, and only the last 7 goes.
        {{255, 0, 8, 7, 7, 8}, std::string("\0\x08\x07", 3), {}},
        // Right after a message an 8 is taken as a terminator and lost.
        {{65, 66, 7, 8, 8, 67, 7, 8}, "AB", {67, 7}},
        // A later message replaces one still waiting in the slot.
        {{65, 66, 7, 8, 67, 68, 7, 8}, "CD", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        fakes::FakePlatform freshFake;
        AppDelegate fresh{freshFake.platform()};
        fresh.myScanRect = controller.myScanRect;
        fresh.pixelOffsets = controller.pixelOffsets;
        for (int byte : c.bytes)
            for (int phase : {0, 1}) {
                paintFrame(freshFake.screen, 2, 1, 80.0, byte, phase);
                fresh.recordColorsThread();
            }
        EXPECT_EQ(fresh.currentMessage, c.message);
        EXPECT_EQ(fresh.nameInProgress, c.leftOver);
    }
}

TEST_F(ReaderTest, MessageThatIsNotUtf8IsDroppedAndReadingGoesOn) {
    controller.debugMode = true;
    sendBytes({0x54, 0xC3, 0x28, 7, 8});
    EXPECT_EQ(controller.currentMessage, "");
    EXPECT_TRUE(collected().empty());
    EXPECT_THAT(fake.log.text, HasSubstr("not valid UTF-8"));
    sendBytes({0xC3, 0xA9, 7, 8});
    EXPECT_EQ(controller.currentMessage, "\xC3\xA9");
}

TEST_F(ReaderTest, SleepSuspendsReadingAndKeepsAHalfMessage) {
    controller.debugMode = true;
    sendBytes({65});
    send({{66, 0}});
    controller.screenAboutToSleep();
    const int captures = fake.screen.captureCount;
    send({{66, 1}});
    EXPECT_EQ(fake.screen.captureCount, captures);
    controller.screenWakesUpFromSleep();
    send({{66, 1}});
    sendBytes({7, 8});
    EXPECT_EQ(controller.currentMessage, "AB");
    EXPECT_EQ(fake.log.text,
              "Going to sleep; suspending screen reads.\nWaking from sleep; resuming screen reads.\n");
}
