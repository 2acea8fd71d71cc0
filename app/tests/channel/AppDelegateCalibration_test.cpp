// The Calibrate command on the fake screen and the simulated clock.
#include "ChannelTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace kv;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

const std::string kAttemptText =
    "\n**** ATTEMPTING TO CALIBRATE ****\nSwitch back to WoW and type /KeshVistrelCal\n\n";

class CalibrationTest : public kv::channel::testing::ControllerTest {
protected:
    // The first click only asks (any other command between the clicks cancels it: the shell's tests).
    void clickCalibrateTwice() {
        controller.calibrateButton(nullptr);
        controller.calibrateButton(nullptr);
    }
    double secondsSince(Clock::time_point start) const {
        return std::chrono::duration<double>(fake.runLoop.now() - start).count();
    }
};

// The player types the slash command 3 s after the search has begun; the
// pattern's topmost line is 3. With 9-pixel cells, sampled from the middle of
// the first cell (x = 4), it shows for the widths 104 to 112.
TEST_F(CalibrationTest, FindsThePatternStoresItAndReadsWithTheNewGeometryLoggingTheSearchOnlyInDebugMode) {
    for (const bool debug : {true, false}) { // debug first: the log shows the clock's first date
        SCOPED_TRACE(debug ? "debug mode" : "normal");
        fake.screen.clear();
        fake.log.text.clear();
        fake.desktop.spoken.clear();
        fake.runLoop.scheduleRepeating(3s, [this] {
            for (std::int64_t line = 3; line < 6; ++line)
                kv::channel::testing::paintLetters(fake.screen, line,
                                                   kv::channel::testing::paintedPattern(9, 9));
        });
        controller.debugMode = debug;
        const auto start = fake.runLoop.now();
        clickCalibrateTwice();

        const std::string result = "Calibration successful!  (H-offset 4, V-offset 3, width 108.0)\n"
                                   "The strip is drawn at scale 2.25 (first cell 9 pixels wide).\n";
        if (debug) {
            EXPECT_EQ(fake.desktop.spoken.front(), "calibration mode");
            // The deadline is 90 s after the simulated clock's date, 2026-01-31 18:05:00 UTC.
            for (const char* line :
                 {"\n\n**** ATTEMPTING TO CALIBRATE ****\nSwitch back to WoW and type /KeshVistrelCal\n\n"
                  "CAL: timeout established at 2026-01-31 18:06:30 +0000\n"
                  "CAL: mainscreen backingScaleFactor is 1.0\n",
                  "CAL loop 1: detectedPixelColor at testingScanLine 3 is 6\n",
                  "CAL: scanning over range 48.0 \u2014 200.0\n",
                  "CAL loop: looking over (4.0, 3.0, 49.0, 1.0)\n",
                  "CAL: dropped out of forth loop with max scan width equal to 112.0\n"})
                EXPECT_THAT(fake.log.text, HasSubstr(line));
            EXPECT_THAT(fake.log.text, HasSubstr(result));
        } else {
            EXPECT_EQ(fake.log.text,
                      "\nAre you sure you want to calibrate now?  This will erase your current screen "
                      "calibration, if any.\nThe app will beep to indicate it's working but will "
                      "otherwise appear frozen for up to 90 seconds.\n** Click Calibrate again to "
                      "begin **\n" +
                          kAttemptText + result);
            EXPECT_THAT(
                fake.desktop.spoken,
                ::testing::ElementsAre(
                    "kesh vistrel is calibrating. Switch back to WoW and type slash kesh vistrel calibrate",
                    "Calibration successful. Ready to play."));
        }
        EXPECT_EQ(fake.defaults.floatForKey("scanWidth"), 108.0f);
        EXPECT_EQ(fake.defaults.integerForKey("scanHorizOffset"), 4);
        EXPECT_EQ(fake.defaults.integerForKey("scanVertOffset"), 3);
        EXPECT_EQ(controller.myScanRect, (Rect{4.0, 3.0, 108.0, 1.0}));
        EXPECT_EQ(controller.pixelOffsets[11], 99) << "the reader samples the new width";
        EXPECT_TRUE(controller.confirmCalibrate);
        EXPECT_LT(secondsSince(start), 10.0);
    }
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

    for (const char* line :
         {"CAL loop 1: detectedPixelColor at testingScanLine 0 is 999\n", "CAL: TIMED OUT!\n",
          "Calibration failed. Try again and check help for troubleshooting tips\n"})
        EXPECT_THAT(fake.log.text, HasSubstr(line));
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
    EXPECT_THAT(fake.desktop.sounds, ::testing::Each(std::string("Tink")));
}

} // namespace
