// Launch and shut-down of the controller.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"
#include "shell/CFText.h"
#include "shell/Configuration.h"
#include "shell/SdkVersion.h"

#include <chrono>

namespace kv {

namespace {

// Includes keeping the system from idle sleep.
constexpr std::uint64_t userInitiatedActivity = 0x00FFFFFF;
constexpr auto handOffInterval = std::chrono::duration<double>(1.0);

} // namespace

void AppDelegate::applicationDidFinishLaunching() {
    const std::string appVersion = platform.app.shortVersion();
    const std::string sdkVersion = findSdkVersion(platform.app.loadedBundles(), config::sdkBundleIdentifier);
    appendToLog("Kesh Vistrel version " + appVersion + " using Halvorin Kesh bundle " + sdkVersion + "\n");

    noSleep = platform.desktop.beginActivity(userInitiatedActivity, "Reading the screen");
    myTimer = platform.runLoop.scheduleRepeating(handOffInterval, [this] { readMsgQueue(); });
    platform.desktop.observeSleepAndWake([this] { screenAboutToSleep(); },
                                         [this] { screenWakesUpFromSleep(); });

    if (!initKesh())
        appendToLog(
            "Unable to initialize Halvorin Kesh Control. If you're using your phone or tablet, ensure "
            "Halvorin Gaming Software is installed and running, then restart this application.\n\n");

    if (loadCalibration())
        appendToLog(
            "\nCalibration settings not found!\nPlease install the KESHVistrelxmit AddOn into your WoW "
            "Interface/AddOns folder and then calibrate Kesh Vistrel to your screen. Click Help for "
            "details.\n\n");
    myScanRect =
        Rect{static_cast<double>(scanHorizOffset), static_cast<double>(scanVertOffset), scanWidth, 1.0};
    computePixelOffsets();

    if (mainWindow) {
        mainWindow->restoreFrame("windowPosition");
        mainWindow->show();
    }

    userLanguage = platform.defaults.integerForKey("userLanguageKey");
    if (userLanguage == 0)
        userLanguage = 1;
    if (languageMenu)
        languageMenu->selectItemWithTag(userLanguage);
    landingPageInt = platform.defaults.integerForKey("landingPageIntKey");
    if (landingPageMenu)
        landingPageMenu->selectItemWithTag(landingPageInt);
    showOnDesktopToo = platform.defaults.boolForKey("showOnDesktopTooKey");
    if (showDesktopToo)
        showDesktopToo->setOn(showOnDesktopToo);

    pushUpdatePage();

    // A missing help text leaves the help window empty; the launch goes on.
    if (const auto helpPath = platform.app.resourcePath("HelpText", "rtf"); helpPath && helpTextView)
        helpTextView->loadRichTextFile(*helpPath);

    startReader();
}

void AppDelegate::applicationWillTerminate() {
    if (noSleep) {
        platform.desktop.endActivity(*noSleep);
        noSleep.reset();
    }
    if (mainWindow)
        mainWindow->saveFrame("windowPosition");
    platform.defaults.synchronize();
    HalvKeshShutdown();
}

} // namespace kv
