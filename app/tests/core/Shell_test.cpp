// Launch, shut-down, settings and commands on fakes; the SDK finds no host.
#include "CoreTestSupport.h"

#include "shell/Configuration.h"
#include "shell/SdkVersion.h"

#include <chrono>

namespace kv::testing {
namespace {

using namespace std::chrono_literals;
using ShellTest = CoreTest;

TEST(SdkVersion, TheLastLoadedSdkBundleWins) {
    const std::string sdk(config::sdkBundleIdentifier);
    EXPECT_EQ(findSdkVersion({{"other", "9"}, {sdk, "1.0.0"}, {sdk, "1.2.0"}, {"x", "3"}}, sdk), "1.2.0");
    EXPECT_EQ(findSdkVersion({{"other", "9"}}, sdk), undeterminedSdkVersion);
    EXPECT_EQ(findSdkVersion({{sdk, "1.0.0"}, {sdk, std::nullopt}}, sdk), undeterminedSdkVersion);
}

TEST_F(ShellTest, AFirstStartLogsVersionConnectionAndMissingCalibrationInOrder) {
    fakes.app.version = "2.3";
    fakes.app.bundles = {{std::string(config::sdkBundleIdentifier), "1.0.0"}};
    controller.applicationDidFinishLaunching();

    EXPECT_EQ(log(),
              "Kesh Vistrel version 2.3 using Halvorin Kesh bundle 1.0.0\n"
              "Unable to initialize Halvorin Kesh Control. If you're using your phone or tablet, ensure "
              "Halvorin Gaming Software is installed and running, then restart this application.\n\n"
              "\nCalibration settings not found!\nPlease install the KESHVistrelxmit AddOn into your WoW "
              "Interface/AddOns folder and then calibrate Kesh Vistrel to your screen. Click Help for "
              "details.\n\n");
    EXPECT_EQ(controller.myScanRect, (Rect{2.0, 1.0, 80.0, 1.0}));
    EXPECT_EQ(fakes.languageMenu.selectedTag(), 1);
    EXPECT_EQ(fakes.mainWindow.restoredFrames, (std::vector<std::string>{"windowPosition"}));
    EXPECT_TRUE(fakes.mainWindow.visible);
    EXPECT_EQ(fakes.desktop.activities, (std::vector<std::string>{"Reading the screen"}));
    EXPECT_EQ(fakes.helpText.loadedPaths,
              (std::vector<std::string>{(shippedResources / "HelpText.rtf").string()}));
}

// The menus' choices coming back are the GUI restart test's; here the calibration, and no resources.
TEST_F(ShellTest, AStoredCalibrationIsRestoredAtLaunchAndMissingResourcesDoNotStopIt) {
    fakes.defaults.setFloat("scanWidth", 96.0f);
    fakes.defaults.setInteger("scanHorizOffset", 4);
    fakes.defaults.setInteger("scanVertOffset", 3);
    fakes.app.resourceFolder.clear(); // no help text either: the launch goes on
    controller.applicationDidFinishLaunching();

    EXPECT_EQ(log().find("Calibration settings not found!"), std::string::npos);
    EXPECT_EQ(controller.myScanRect, (Rect{4.0, 3.0, 96.0, 1.0}));
    EXPECT_TRUE(fakes.helpText.loadedPaths.empty());
    EXPECT_NE(log().find("Error locating update HTML template file"), std::string::npos);
    EXPECT_TRUE(controller.myTimer2.has_value()) << "the reader runs all the same";
}

TEST_F(ShellTest,
       SleepAndWakeReachTheReaderAndQuittingAfterClosingTheConnectionTwiceEndsTheActivityAndFlushes) {
    controller.applicationDidFinishLaunching();
    fakes.log.text.clear();
    fakes.desktop.willSleep();
    EXPECT_TRUE(controller.suspendScreenReads);
    fakes.desktop.didWake();
    EXPECT_FALSE(controller.suspendScreenReads);
    EXPECT_EQ(log(), "") << "silent outside debug mode";

    controller.confirmCalibrate = false;
    controller.ShutdownKeshMenuClick(&fakes.shutdownMenuItem);
    controller.ShutdownKeshMenuClick(&fakes.shutdownMenuItem);
    EXPECT_EQ(log(), "Closed down connection to Halvorin Kesh control.\n"
                     "Closed down connection to Halvorin Kesh control.\n");
    EXPECT_EQ(fakes.shutdownMenuItem.title, "Kesh Control is now shutdown. Quit to restart.");
    EXPECT_TRUE(fakes.logo.hidden);
    EXPECT_FALSE(controller.confirmCalibrate) << "closing the connection keeps a pending calibration";

    controller.applicationWillTerminate(); // a second HalvKeshShutdown
    EXPECT_EQ(fakes.desktop.endedActivities, (std::vector<ActivityToken>{1}));
    EXPECT_EQ(fakes.mainWindow.savedFrames, (std::vector<std::string>{"windowPosition"}));
    EXPECT_EQ(fakes.defaults.synchronizeCount, 1);
}

TEST_F(ShellTest, MenuChoicesAreStoredAndMarkedAndCancelACalibrationAndANewLanguageRebuildsTheUpdatePage) {
    controller.applicationDidFinishLaunching();
    controller.debugMode = true;
    controller.showOnDesktopToo = true;
    controller.confirmCalibrate = false;
    fakes.log.text.clear();
    fakes.languageMenu.choose(7);
    controller.languageChanged(&fakes.languageMenu);
    EXPECT_EQ(controller.userLanguage, 7);
    EXPECT_EQ(fakes.defaults.integerForKey("userLanguageKey"), 7);
    EXPECT_EQ(fakes.languageMenu.markedTags(), (std::vector<std::int64_t>{7}));
    EXPECT_EQ(log(), "KESH error pushing Wow.gif: 4\nKESH error pushing quorbbounce.gif: 4\n"
                     "KESH error pushing update.html string: 4\n");
    EXPECT_TRUE(controller.confirmCalibrate);
    controller.evaluateMessage("Thrall-Draka");
    ASSERT_EQ(fakes.desktop.opened.size(), 1u);
    EXPECT_NE(fakes.desktop.opened[0].address.find("/fr-fr/character/draka/Thrall"), std::string::npos);

    controller.confirmCalibrate = false;
    fakes.landingPageMenu.choose(4);
    controller.landingChanged(&fakes.landingPageMenu);
    EXPECT_EQ(fakes.defaults.integerForKey("landingPageIntKey"), 4);
    EXPECT_EQ(fakes.landingPageMenu.markedTags(), (std::vector<std::int64_t>{4}));
    EXPECT_TRUE(controller.confirmCalibrate);

    controller.confirmCalibrate = false; // the desktop check box leaves a calibration pending
    for (const bool on : {true, false}) {
        fakes.showDesktopToo.on = on;
        controller.DesktopTooClicked(&fakes.showDesktopToo);
        EXPECT_EQ(controller.showOnDesktopToo, on);
        EXPECT_EQ(fakes.defaults.boolForKey("showOnDesktopTooKey"), on);
    }
    EXPECT_FALSE(controller.confirmCalibrate);
}

TEST_F(ShellTest, DebugHelpAndTestCommandsDoTheirWorkAndCancelAPendingCalibration) {
    controller.applicationDidFinishLaunching();
    fakes.log.text.clear();
    controller.debugMenuItem(&fakes.debugMenuItem);
    EXPECT_TRUE(controller.debugMode);
    EXPECT_TRUE(fakes.debugMenuItem.state);
    controller.confirmCalibrate = false;
    controller.debugMenuItem(&fakes.debugMenuItem);
    EXPECT_FALSE(controller.debugMode);
    EXPECT_FALSE(fakes.debugMenuItem.state);
    EXPECT_EQ(log(), "Debug mode active.\nThe scanRect is (2.0, 1.0, 80.0, 1.0)\nDebug mode off.\n");
    EXPECT_TRUE(controller.confirmCalibrate);

    // Help from the button brings its window forward later, from the menu at once.
    controller.confirmCalibrate = false;
    controller.myBtnClicked(nullptr);
    EXPECT_TRUE(controller.confirmCalibrate);
    EXPECT_EQ(fakes.helpWindow.broughtToFront, 0);
    fakes.runLoop.runPosted();
    EXPECT_EQ(fakes.helpWindow.broughtToFront, 1);
    controller.confirmCalibrate = false;
    controller.helpMenuItem(nullptr);
    EXPECT_EQ(fakes.helpWindow.broughtToFront, 2);
    EXPECT_TRUE(controller.confirmCalibrate);

    controller.confirmCalibrate = false;
    controller.currentMessage = "Waiting-Message";
    fakes.log.text.clear();
    controller.testButton(nullptr);
    const std::string name(config::firstDemoCharacterName);
    EXPECT_EQ(log(), "Pushing " + name + "'s Vistrel Page (use Americas realm).\n");
    EXPECT_EQ(controller.currentMessage, name + "-Draka");
    EXPECT_TRUE(controller.confirmCalibrate);
}

} // namespace
} // namespace kv::testing
