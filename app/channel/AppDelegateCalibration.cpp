// The Calibrate command: a confirmation click, then a search of up to 90
// seconds for the add-on's calibration pattern that keeps the application's
// timers running in short steps, announced by speech and beeps.
#include "shell/AppDelegate.h"

#include "channel/CalibrationSearch.h"
#include "channel/DecimalText.h"

#include <chrono>
#include <ctime>

namespace kv {

namespace {

using namespace std::chrono_literals;

constexpr auto kWaitStep = 50ms;
constexpr auto kFirstBeepAfter = 1s;
constexpr auto kBeepInterval = 2s;

// The date as the log shows it: "2026-01-31 18:05:09 +0000".
std::string dateText(WallClock::time_point when) {
    const std::time_t seconds = WallClock::to_time_t(when);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
    return std::string(text, length);
}

channel::ScreenRect toScreenRect(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

// The platform's screen and run loop as the calibration search sees them.
class PlatformCalibrationScreen : public channel::CalibrationScreen {
public:
    PlatformCalibrationScreen(AppDelegate& controller, std::optional<Clock::time_point> deadline)
        : controller_(controller), deadline_(deadline) {}

    std::optional<channel::Rgb> colorAt(const channel::ScreenRect& rect, std::int64_t column) override {
        const auto image =
            controller_.platform.screen.captureMainDisplay(Rect{rect.x, rect.y, rect.width, rect.height});
        if (!image)
            return std::nullopt; // counts as a pixel without colour
        const auto color = image->colorAt(column, 0);
        if (!color)
            return std::nullopt;
        return channel::Rgb{color->red, color->green, color->blue};
    }
    void waitStep() override { controller_.calibrationTick(); }
    // Quitting ends the search as its deadline would.
    bool deadlinePassed() override {
        return controller_.platform.runLoop.quitRequested() ||
               (deadline_ && controller_.platform.runLoop.now() > *deadline_);
    }

private:
    AppDelegate& controller_;
    std::optional<Clock::time_point> deadline_;
};

} // namespace

void AppDelegate::speak(const std::string& text) {
    platform.desktop.speak(text);
}

void AppDelegate::calibrationTick() {
    platform.runLoop.runFor(kWaitStep);
    if (nextBeepTime && *nextBeepTime < platform.runLoop.now()) {
        if (calibrationSound)
            platform.desktop.playSound(*calibrationSound);
        // From the previous due time, so the beeps keep a steady rhythm.
        *nextBeepTime += kBeepInterval;
    }
}

bool AppDelegate::matchesCalibrationPattern(float width, const Rect& candidate) {
    PlatformCalibrationScreen screen(*this, std::nullopt);
    return channel::matchesCalibrationPattern(screen, width, toScreenRect(candidate));
}

bool AppDelegate::calibrateToScreen(double& width, std::int64_t& horizOffset, std::int64_t& vertOffset,
                                    LogView* log) {
    const auto start = platform.runLoop.now();
    calibrationSound = "Tink";
    nextBeepTime = start + kFirstBeepAfter;
    const auto deadline = start + channel::kCalibrationTimeLimit;

    channel::CalibrationLog sink;
    if (log)
        sink = [log](const std::string& line) { log->insertAtCursor(line); };
    if (sink) {
        // The log shows the deadline as a date; the search waits for it on the steady clock.
        sink("CAL: timeout established at " +
             dateText(platform.runLoop.wallClockNow() + channel::kCalibrationTimeLimit) + "\n");
        sink("CAL: mainscreen backingScaleFactor is " +
             channel::decimalText(platform.screen.backingScaleFactor()) + "\n");
    }

    PlatformCalibrationScreen screen(*this, deadline);
    channel::ScanGeometry geometry{width, horizOffset, vertOffset};
    const bool found = channel::searchCalibration(geometry, screen, sink, &calibratedFirstCellWidth);
    width = geometry.width;
    horizOffset = geometry.horizOffset;
    vertOffset = geometry.vertOffset;

    if (found) {
        platform.defaults.setFloat("scanWidth", static_cast<float>(width));
        platform.defaults.setInteger("scanHorizOffset", horizOffset);
        platform.defaults.setInteger("scanVertOffset", vertOffset);
        return true;
    }
    // Erased, so that the next start reports the calibration as not found.
    platform.defaults.setFloat("scanWidth", 0.0f);
    platform.defaults.setInteger("scanHorizOffset", 0);
    platform.defaults.setInteger("scanVertOffset", 0);
    width = channel::kDefaultScanGeometry.width;
    horizOffset = channel::kDefaultScanGeometry.horizOffset;
    vertOffset = channel::kDefaultScanGeometry.vertOffset;
    return false;
}

void AppDelegate::calibrateButton(UiElement* /*sender*/) {
    if (confirmCalibrate) {
        appendToLog(
            "\nAre you sure you want to calibrate now?  This will erase your current screen calibration, "
            "if any.\nThe app will beep to indicate it's working but will otherwise appear frozen for up "
            "to 90 seconds.\n** Click Calibrate again to begin **\n");
        confirmCalibrate = false;
        return;
    }

    speak(debugMode
              ? "calibration mode"
              : "kesh vistrel is calibrating. Switch back to WoW and type slash kesh vistrel calibrate");
    appendToLog("\n**** ATTEMPTING TO CALIBRATE ****\nSwitch back to WoW and type /KeshVistrelCal\n\n");

    if (calibrateToScreen(scanWidth, scanHorizOffset, scanVertOffset, debugMode ? myTextScroll : nullptr)) {
        appendToLog("Calibration successful!  (H-offset " + std::to_string(scanHorizOffset) + ", V-offset " +
                    std::to_string(scanVertOffset) + ", width " + channel::decimalText(scanWidth) + ")\n");
        appendToLog("The strip is drawn at scale " +
                    channel::decimalText(channel::stripScale(calibratedFirstCellWidth)) + " (first cell " +
                    std::to_string(calibratedFirstCellWidth) + " pixels wide).\n");
        computePixelOffsets();
        speak("Calibration successful. Ready to play.");
        Rect rect = myScanRect.value_or(Rect{0.0, 0.0, 0.0, 1.0});
        rect.x = static_cast<double>(scanHorizOffset);
        rect.y = static_cast<double>(scanVertOffset);
        rect.width = scanWidth;
        myScanRect = rect;
    } else {
        appendToLog("Calibration failed. Try again and check help for troubleshooting tips\n");
        speak(debugMode
                  ? "Failed to calibrate"
                  : "kesh vistrel was unable to calibrate to your screen. Try again. Click the help button "
                    "for more tips");
    }
    confirmCalibrate = true;
}

} // namespace kv
