// Launch, shut-down, settings and commands on fakes; the SDK finds no host.
#include "CoreTestSupport.h"

#include "shell/Configuration.h"
#include "shell/SdkVersion.h"

#include <chrono>

namespace kv::testing {
namespace {

using namespace std::chrono_literals;
using ShellTest = CoreTest;

const std::string unableToInitialize =
    "Unable to initialize Halvorin Kesh Control. If you're using your phone or tablet, ensure Halvorin "
    "Gaming "
    "Software is installed and running, then restart this application.\n\n";
const std::string calibrationNotFound =
    "\nCalibration settings not found!\nPlease install the KESHVistrelxmit AddOn into your WoW "
    "Interface/AddOns "
    "folder and then calibrate Kesh Vistrel to your screen. Click Help for details.\n\n";

void storeCalibration(fakes::FakeUserDefaults& defaults) {
    defaults.setFloat("scanWidth", 96.0f);
    defaults.setInteger("scanHorizOffset", 4);
    defaults.setInteger("scanVertOffset", 3);
}

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

    EXPECT_EQ(log(), "Kesh Vistrel version 2.3 using Halvorin Kesh bundle 1.0.0\n" + unableToInitialize +
                         calibrationNotFound);
    EXPECT_EQ(controller.myScanRect, (Rect{2.0, 1.0, 80.0, 1.0}));
    EXPECT_EQ(controller.userLanguage, 1);
    EXPECT_EQ(fakes.languageMenu.selectedTag(), 1);
    EXPECT_EQ(controller.landingPageInt, 0);
    EXPECT_EQ(fakes.landingPageMenu.selectRequests, (std::vector<std::int64_t>{0}));
    EXPECT_FALSE(fakes.showDesktopToo.on);
    EXPECT_EQ(fakes.mainWindow.restoredFrames, (std::vector<std::string>{"windowPosition"}));
    EXPECT_TRUE(fakes.mainWindow.visible);
    ASSERT_EQ(fakes.desktop.activities.size(), 1u);
    EXPECT_EQ(fakes.desktop.activities[0].options, 0x00FFFFFFu);
    EXPECT_EQ(fakes.desktop.activities[0].reason, "Reading the screen");
    EXPECT_EQ(fakes.helpText.loadedPaths,
              (std::vector<std::string>{(shippedResources / "HelpText.rtf").string()}));

    ASSERT_TRUE(controller.myTimer && controller.myTimer2);
    EXPECT_EQ(fakes.runLoop.timer(*controller.myTimer)->interval, 1s);
    EXPECT_EQ(fakes.runLoop.timer(*controller.myTimer2)->interval, 50ms);
}

TEST_F(ShellTest, StoredSettingsAreRestoredAtLaunch) {
    storeCalibration(fakes.defaults);
    fakes.defaults.setInteger("userLanguageKey", 7);
    fakes.defaults.setInteger("landingPageIntKey", 4);
    fakes.defaults.setBool("showOnDesktopTooKey", true);
    fakes.app.resourceFolder.clear(); // no help text either: the launch goes on
    controller.applicationDidFinishLaunching();

    EXPECT_EQ(log().find("Calibration settings not found!"), std::string::npos);
    EXPECT_EQ(controller.myScanRect, (Rect{4.0, 3.0, 96.0, 1.0}));
    EXPECT_EQ(fakes.languageMenu.selectedTag(), 7);
    EXPECT_EQ(fakes.landingPageMenu.selectedTag(), 4);
    EXPECT_TRUE(controller.showOnDesktopToo);
    EXPECT_TRUE(fakes.showDesktopToo.on);
    EXPECT_TRUE(fakes.helpText.loadedPaths.empty());
    EXPECT_NE(log().find("Error locating update HTML template file"), std::string::npos);
    EXPECT_TRUE(controller.myTimer2.has_value());
}

TEST_F(ShellTest, TheHandOffTimerEvaluatesOnlyTheLatestMessageEachSecond) {
    controller.applicationDidFinishLaunching();
    controller.debugMode = true;
    fakes.log.clear();
    controller.combatTrigger(nullptr);
    controller.moneyTrigger(nullptr);
    fakes.runLoop.runFor(0.5s);
    EXPECT_EQ(log(), "") << "the slot waits for the next tick";
    fakes.runLoop.runFor(0.5s);
    EXPECT_EQ(log(), "evaluating message NPC10184\nNPC #PC10184\nKESH error pushing NPC string: 4\n");
    fakes.runLoop.runFor(1s);
    EXPECT_EQ(controller.currentMessage, "");
}

TEST_F(ShellTest, SleepAndWakeNotificationsReachTheReaderSilentlyOutsideDebugMode) {
    controller.applicationDidFinishLaunching();
    fakes.log.clear();
    fakes.desktop.systemWillSleep();
    EXPECT_TRUE(controller.suspendScreenReads);
    fakes.desktop.screensDidWake();
    EXPECT_FALSE(controller.suspendScreenReads);
    EXPECT_EQ(log(), "");
}

TEST_F(ShellTest, QuittingEndsTheActivitySavesTheFrameAndFlushesTheDefaults) {
    controller.applicationDidFinishLaunching();
    controller.applicationWillTerminate();
    EXPECT_EQ(fakes.desktop.endedActivities, (std::vector<ActivityToken>{1}));
    EXPECT_EQ(fakes.mainWindow.savedFrames, (std::vector<std::string>{"windowPosition"}));
    EXPECT_EQ(fakes.defaults.synchronizeCount, 1);
    EXPECT_TRUE(controller.applicationShouldTerminateAfterLastWindowClosed());
}

TEST_F(ShellTest, ClosingTheConnectionTwiceAndQuittingIsHarmless) {
    controller.applicationDidFinishLaunching();
    fakes.log.clear();
    controller.confirmCalibrate = false;
    controller.ShutdownKeshMenuClick(&fakes.shutdownMenuItem);
    controller.ShutdownKeshMenuClick(&fakes.shutdownMenuItem);
    EXPECT_EQ(log(), "Closed down connection to Halvorin Kesh control.\n"
                     "Closed down connection to Halvorin Kesh control.\n");
    EXPECT_EQ(fakes.shutdownMenuItem.title, "Kesh Control is now shutdown. Quit to restart.");
    EXPECT_TRUE(fakes.logo.hidden);
    EXPECT_FALSE(controller.confirmCalibrate) << "closing the connection keeps a pending calibration";
    controller.applicationWillTerminate(); // a second HalvKeshShutdown
    EXPECT_EQ(fakes.mainWindow.savedFrames.size(), 1u);
}

TEST_F(ShellTest, ChoosingALanguageStoresMarksAndRebuildsTheUpdatePage) {
    controller.applicationDidFinishLaunching();
    controller.debugMode = true;
    controller.showOnDesktopToo = true;
    controller.confirmCalibrate = false;
    fakes.log.clear();
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
}

TEST_F(ShellTest, ALandingChoiceSurvivesARestart) {
    controller.applicationDidFinishLaunching();
    controller.confirmCalibrate = false;
    fakes.landingPageMenu.choose(4);
    controller.landingChanged(&fakes.landingPageMenu);
    EXPECT_EQ(fakes.landingPageMenu.markedTags(), (std::vector<std::int64_t>{4}));
    EXPECT_TRUE(controller.confirmCalibrate);
    controller.applicationWillTerminate();

    AppDelegate restarted{fakes.platform()};
    fakes.attach(restarted);
    restarted.applicationDidFinishLaunching();
    EXPECT_EQ(restarted.landingPageInt, 4);
    restarted.applicationWillTerminate();
}

TEST_F(ShellTest, TheDesktopCheckBoxIsStoredWithoutCancellingACalibration) {
    controller.confirmCalibrate = false;
    fakes.showDesktopToo.on = true;
    controller.DesktopTooClicked(&fakes.showDesktopToo);
    EXPECT_TRUE(controller.showOnDesktopToo);
    EXPECT_TRUE(fakes.defaults.boolForKey("showOnDesktopTooKey"));
    EXPECT_FALSE(controller.confirmCalibrate);
    fakes.showDesktopToo.on = false;
    controller.DesktopTooClicked(&fakes.showDesktopToo);
    EXPECT_TRUE(fakes.defaults.hasKey("showOnDesktopTooKey"));
    EXPECT_FALSE(fakes.defaults.boolForKey("showOnDesktopTooKey"));
}

TEST_F(ShellTest, DebugModeTogglesWithItsTextsAndTheScanRectangle) {
    controller.applicationDidFinishLaunching();
    fakes.log.clear();
    controller.debugMenuItem(&fakes.debugMenuItem);
    EXPECT_TRUE(controller.debugMode);
    EXPECT_TRUE(fakes.debugMenuItem.state);
    EXPECT_EQ(log(), "Debug mode active.\nThe scanRect is (2.0, 1.0, 80.0, 1.0)\n");
    controller.confirmCalibrate = false;
    controller.debugMenuItem(&fakes.debugMenuItem);
    EXPECT_FALSE(controller.debugMode);
    EXPECT_FALSE(fakes.debugMenuItem.state);
    EXPECT_EQ(log(), "Debug mode active.\nThe scanRect is (2.0, 1.0, 80.0, 1.0)\nDebug mode off.\n");
    EXPECT_TRUE(controller.confirmCalibrate);
}

TEST_F(ShellTest, TheHelpButtonDefersTheWindowButNotTheConfirmationReset) {
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
}

TEST_F(ShellTest, TheTestButtonQueuesTheDemoCharacter) {
    controller.confirmCalibrate = false;
    controller.currentMessage = "Waiting-Message";
    controller.testButton(nullptr);
    const std::string name(config::firstDemoCharacterName);
    EXPECT_EQ(log(), "Pushing " + name + "'s Vistrel Page (use Americas realm).\n");
    EXPECT_EQ(controller.currentMessage, name + "-Draka");
    EXPECT_TRUE(controller.confirmCalibrate);
}

} // namespace
} // namespace kv::testing
