// The application's single controller: all state of the shell, the screen
// channel and the page composer, and their operations. Member functions live
// in the folder of their subsystem (shell/, channel/, composer/). The
// controller reaches the platform only through the seams in platform/; the
// window elements are set by the platform when the layout is loaded.
#pragma once

#include "channel/StripSample.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"
#include "platform/WindowElements.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class AppDelegate {
public:
    explicit AppDelegate(Platform platform);
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // ---- State --------------------------------------------------------------

    LogView* myTextScroll = nullptr; // the log view inside the main window's scroll view
    Window* mainWindow = nullptr;
    Window* helpWindow = nullptr;
    PopUpButton* languageMenu = nullptr;
    PopUpButton* landingPageMenu = nullptr;
    CheckBox* showDesktopToo = nullptr;
    MenuItem* ShutdownKeshMenuItem = nullptr;
    ImageView* HalvLogoImg = nullptr;
    RichTextView* helpTextView = nullptr;

    double scanWidth = 0.0;
    std::int64_t scanHorizOffset = 0;
    std::int64_t scanVertOffset = 0;
    std::optional<Rect> myScanRect;
    std::array<std::int64_t, 12> pixelOffsets{};
    std::array<std::int64_t, 12> scanData{};
    std::array<PixelColor, 12> pixelData{};
    const std::array<std::int64_t, 12> scanDataFactor{0, 0, 128, 64, 32, 16, 8, 4, 2, 1, 0, 0};
    std::string charSuspectedPhase1;
    std::string charSuspectedPhase2;
    std::int64_t rememberLastChar = 0;
    std::vector<std::uint8_t> nameInProgress;
    std::string currentMessage; // UTF-8
    bool suspendScreenReads = false;
    std::optional<ActivityToken> noSleep;
    std::optional<TimerId> myTimer;
    std::optional<TimerId> myTimer2;
    bool confirmCalibrate = true;
    bool debugMode = false;
    std::int64_t userLanguage = 1;
    std::int64_t landingPageInt = 1;
    bool showOnDesktopToo = false;
    bool showedDisplayErrorMsg = false;
    bool standingByForNewNameToStart = true;
    const std::string myUpdateFileName = "update.html";

    // ---- Shell (shell/): launch, shut-down, log, settings, commands ---------

    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // Inserts the text into the log view as it is; callers supply line breaks.
    void appendToLog(const std::string& text);

    void languageChanged(PopUpButton* sender);
    void landingChanged(PopUpButton* sender);
    void DesktopTooClicked(UiElement* sender);
    void debugMenuItem(MenuItem* sender);
    void helpMenuItem(UiElement* sender);
    void myBtnClicked(UiElement* sender);
    void ShutdownKeshMenuClick(UiElement* sender);
    void testButton(UiElement* sender);

    // Whether Init has succeeded and the connection was not closed from the
    // menu since; the platform waits for a missing host and retries Init.
    bool keshInitialized = false;
    bool keshClosedFromMenu = false;
    // Init again after a failed one (never after the menu closed the
    // connection); on success logs it and pushes the update page as at launch.
    bool retryKeshInit();

    // ---- Screen channel (channel/): capture, decoding, calibration ----------

    void recordColorsThread();
    void screenAboutToSleep();
    void screenWakesUpFromSleep();
    // True when no usable calibration was stored (the defaults are then in place).
    bool loadCalibration();
    void computePixelOffsets();
    void calibrateButton(UiElement* sender);
    bool calibrateToScreen(double& width, std::int64_t& horizOffset, std::int64_t& vertOffset, LogView* log);
    bool matchesCalibrationPattern(float width, const Rect& candidate);
    void calibrationTick();
    void speak(const std::string& text);

    // One capture of the strip into pixelData and scanData; false when there
    // is no display or no image, and the tick must end.
    bool captureStrip();

    // The reader tick in two halves, so that capturing can leave the main
    // thread: sampleStrip only reads its arguments and the screen seam (safe
    // on any thread); decodeStripSample does the rest on the main thread.
    channel::StripSample sampleStrip(const std::optional<Rect>& rect, const channel::SampleOffsets& offsets);
    void decodeStripSample(const channel::StripSample& sample);
    // The capture half's result into pixelData and scanData, with the
    // missing-display message; false when the tick must end.
    bool applyStripSample(const channel::StripSample& sample);
    // Schedules myTimer2: a sample every 0.05 s, decoded in order on the main thread.
    void startReader();
    // When the last byte was confirmed; a partial message older than 3 s is dropped.
    std::optional<Clock::time_point> lastByteConfirmedAt;
    channel::SharedScanGeometry readerGeometry;
    // The sound of the calibration's waiting steps and when it is next due;
    // absent until the first calibration.
    std::optional<std::string> calibrationSound;
    std::optional<Clock::time_point> nextBeepTime;
    // Width of the pattern's first cell as the last search found it, in pixels.
    std::int64_t calibratedFirstCellWidth = 0;

    // ---- Page composer (composer/): hand-off, pages, triggers ---------------

    void readMsgQueue();
    void evaluateMessage(const std::string& message);
    void composeCharacterPage(const std::string& name, const std::string& realm);
    void composeNpcPage(const std::string& npcId, bool classic);
    void pushUpdatePage();

    void combatTrigger(UiElement* sender);
    void combatUntrigger(UiElement* sender);
    void moneyTrigger(UiElement* sender);
    void levelTrigger(UiElement* sender);

    // ---- Platform seams -----------------------------------------------------

    Platform platform;

private:
    // Init with this application's identifier and name; logs a success.
    bool initKesh();
    // "KESH error " + doing + ": " + the SDK's last error code, in debug mode only.
    void logKeshErrorInDebug(const std::string& doing);
    // A bundle resource read as UTF-8 text; none when missing, unreadable or not UTF-8.
    std::optional<std::string> readResourceText(const std::string& name, const std::string& type) const;
    void openCharacterPageOnDesktop(const std::string& name, const std::string& webRealm);
    void bringHelpWindowForward();
};

} // namespace kv
