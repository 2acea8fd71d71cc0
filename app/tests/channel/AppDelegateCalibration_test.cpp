// The Calibrate command on the fake screen and the simulated clock.
#include "ChannelTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace kv;
using namespace std::chrono_literals;
using kv::channel::testing::paintedPattern;
using kv::channel::testing::paintLetters;
using ::testing::ContainsRegex;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::string kConfirmText =
    "\nAre you sure you want to calibrate now?  This will erase your current screen calibration, if any.\n"
    "The app will beep to indicate it's working but will otherwise appear frozen for up to 90 seconds.\n"
    "** Click Calibrate again to begin **\n";
const std::string kAttemptText =
    "\n**** ATTEMPTING TO CALIBRATE ****\nSwitch back to WoW and type /KeshVistrelCal\n\n";

class CalibrationTest : public kv::channel::testing::ControllerTest {
protected:
    // The player types the slash command `after` the search has begun; the
    // pattern's topmost line is 3. With 9-pixel cells, sampled from the
    // middle of the first cell (x = 4), it shows for the widths 104 to 112.
    void paintPatternAtLine3(std::chrono::duration<double> after) {
        fake.runLoop.scheduleRepeating(after, [this] {
            for (std::int64_t line = 3; line < 6; ++line)
                paintLetters(fake.screen, line, paintedPattern(9, 9));
        });
    }
    void clickCalibrateTwice() {
        controller.calibrateButton(nullptr);
        controller.calibrateButton(nullptr);
    }
    double secondsSince(Clock::time_point start) const {
        return std::chrono::duration<double>(fake.runLoop.now() - start).count();
    }
};

// The first click only asks (and any other command between the clicks cancels it: the shell's tests).
TEST_F(CalibrationTest, FindsThePatternStoresItAndReadsWithTheNewGeometry) {
    paintPatternAtLine3(3s);
    const auto start = fake.runLoop.now();
    clickCalibrateTwice();

    EXPECT_EQ(fake.log.text, kConfirmText + kAttemptText +
                                 "Calibration successful!  (H-offset 4, V-offset 3, width 108.0)\n"
                                 "The strip is drawn at scale 2.25 (first cell 9 pixels wide).\n");
    EXPECT_EQ(fake.defaults.floatForKey("scanWidth"), 108.0f);
    EXPECT_EQ(fake.defaults.integerForKey("scanHorizOffset"), 4);
    EXPECT_EQ(fake.defaults.integerForKey("scanVertOffset"), 3);
    EXPECT_EQ(controller.myScanRect, (Rect{4.0, 3.0, 108.0, 1.0}));
    EXPECT_THAT(
        fake.desktop.spoken,
        ElementsAre("kesh vistrel is calibrating. Switch back to WoW and type slash kesh vistrel calibrate",
                    "Calibration successful. Ready to play."));
    EXPECT_EQ(controller.pixelOffsets[11], 99) << "the reader samples the new width";
    EXPECT_TRUE(controller.confirmCalibrate);
    EXPECT_LT(secondsSince(start), 10.0);
}

TEST_F(CalibrationTest, SearchLinesAreLoggedOnlyInDebugMode) {
    paintPatternAtLine3(0.5s);
    controller.debugMode = true;
    clickCalibrateTwice();
    EXPECT_EQ(fake.desktop.spoken.front(), "calibration mode");
    // The deadline is 90 s after the simulated clock's start, 2026-01-31 18:05:00 UTC.
    EXPECT_THAT(fake.log.text,
                HasSubstr(kAttemptText + "CAL: timeout established at 2026-01-31 18:06:30 +0000\n"
                                         "CAL: mainscreen backingScaleFactor is 1.0\n"));
    for (const char* line :
         {"CAL loop 1: detectedPixelColor at testingScanLine 3 is 6\n",
          "CAL: scanning over range 48.0 \u2014 200.0\n", "CAL loop: looking over (4.0, 3.0, 49.0, 1.0)\n",
          "CAL: dropped out of forth loop with max scan width equal to 112.0\n"
          "Calibration successful!  (H-offset 4, V-offset 3, width 108.0)\n"})
        EXPECT_THAT(fake.log.text, HasSubstr(line));

    fake.log.clear();
    controller.debugMode = false;
    clickCalibrateTwice();
    EXPECT_THAT(fake.log.text, HasSubstr("Calibration successful!"));
    EXPECT_THAT(fake.log.text, Not(ContainsRegex("CAL[: ]")));
}

TEST_F(CalibrationTest, PatternNeverShownErasesTheStoredCalibrationAndKeepsReading) {
    fake.defaults.setFloat("scanWidth", 96.0f);
    fake.defaults.setInteger("scanHorizOffset", 5);
    fake.screen.captureFails = true; // a capture without an image counts as a pixel without colour
    controller.debugMode = true;
    const auto offsetsBefore = controller.pixelOffsets;
    int readerTicks = 0;
    fake.runLoop.scheduleRepeating(0.05s, [&] { ++readerTicks; });
    const auto start = fake.runLoop.now();

    clickCalibrateTwice();

    EXPECT_THAT(fake.log.text, HasSubstr("CAL loop 1: detectedPixelColor at testingScanLine 0 is 999\n"));
    EXPECT_THAT(fake.log.text, HasSubstr("CAL: TIMED OUT!\n"));
    EXPECT_THAT(fake.log.text,
                HasSubstr("Calibration failed. Try again and check help for troubleshooting tips\n"));
    EXPECT_EQ(fake.desktop.spoken.back(), "Failed to calibrate");
    EXPECT_EQ(fake.defaults.floatForKey("scanWidth"), 0.0f);
    EXPECT_EQ(fake.defaults.integerForKey("scanHorizOffset"), 0);
    EXPECT_EQ(controller.scanWidth, 80.0);
    // The reader goes on with the geometry it had, and the next start reports no calibration.
    EXPECT_EQ(controller.myScanRect, (Rect{2.0, 1.0, 80.0, 1.0}));
    EXPECT_EQ(controller.pixelOffsets, offsetsBefore);
    EXPECT_TRUE(controller.loadCalibration());
    // About 90 s of waiting steps with the application's timers running, a beep 1 s in and every 2 s after.
    EXPECT_NEAR(secondsSince(start), 90.0, 0.2);
    EXPECT_NEAR(readerTicks, 1800, 5);
    EXPECT_NEAR(static_cast<double>(fake.desktop.sounds.size()), 45.0, 1.0);
    EXPECT_THAT(fake.desktop.sounds, testing::Each(std::string("Tink")));
}

} // namespace
