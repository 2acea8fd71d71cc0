// Message evaluation and the pages composed on fakes; with no host every push is refused with code 4.
#include "CoreTestSupport.h"

#include "shell/Configuration.h"

#include <filesystem>
#include <fstream>

namespace kv::testing {
namespace {

using ComposerTest = CoreTest;

const std::string gameSite = "https://" + std::string(config::gameSiteHost);
const std::string npcSite(config::npcSiteDomain);

TEST_F(ComposerTest, TheSlotIsEmptiedAndOnlyADispatchedMessageReArmsTheUpdatePage) {
    controller.debugMode = true;
    controller.readMsgQueue();
    EXPECT_EQ(log(), "") << "an empty slot is left alone";
    // A realmless message is refused aloud in any mode; nothing is dispatched.
    const std::pair<std::string, std::string> cases[] = {
        {"C42", "evaluating message C42\nClassic NPC #42\nKESH error pushing NPC string: 4\n"},
        {"Thrall", "Error: No realm found in text: Thrall\n"},
        {"Thrall-", "Error: No realm found in text: Thrall-\n"},
    };
    for (const auto& [message, expected] : cases) {
        fakes.log.text.clear();
        controller.debugMode = message == "C42";
        controller.standingByForNewNameToStart = false;
        controller.currentMessage = message;
        controller.readMsgQueue();
        EXPECT_EQ(log(), expected);
        EXPECT_EQ(controller.currentMessage, "");
        EXPECT_EQ(controller.standingByForNewNameToStart, message == "C42") << message;
    }
    EXPECT_EQ(fakes.desktop.sounds, (std::vector<std::string>{"Blow", "Blow"}));

    // Refused pushes are silent outside debug mode; desktop pages open whatever the push gave.
    fakes.log.text.clear();
    controller.showOnDesktopToo = true;
    controller.evaluateMessage("Thrall-Aerie Peak");
    controller.evaluateMessage("N10184");
    controller.levelTrigger(nullptr);
    controller.pushUpdatePage();
    EXPECT_EQ(log(), "");
    EXPECT_EQ(fakes.desktop.opened.size(), 2u);
}

TEST_F(ComposerTest, DesktopPagesOpenCharactersEncodedInFrontNpcsBehindAndNoUrlNowhere) {
    controller.debugMode = true;
    controller.showOnDesktopToo = true;
    controller.evaluateMessage("Ëlf-Aerie Peak");
    const std::string address = gameSite + "/en-us/character/aerie-peak/Ëlf";
    const std::string encoded = gameSite + "/en-us/character/aerie-peak/%C3%8Blf";
    EXPECT_EQ(log(),
              "evaluating message Ëlf-Aerie Peak\nCharacter:Ëlf; realm:Aerie Peak; web realm:Aerie-Peak\n"
              "KESH error pushing player string: 4\nopening URL " +
                  address + "\n  encoded as " + encoded + "\n");
    controller.userLanguage = 5;
    controller.composeNpcPage("10184", true);
    ASSERT_EQ(fakes.desktop.opened.size(), 2u);
    EXPECT_EQ(fakes.desktop.opened[0].address, encoded);
    EXPECT_TRUE(fakes.desktop.opened[0].bringToFront);
    EXPECT_EQ(fakes.desktop.opened[1].address, "http://classic." + npcSite + "/npc=10184");
    EXPECT_FALSE(fakes.desktop.opened[1].bringToFront);

    fakes.log.text.clear();
    controller.composeNpcPage("1 2", false);
    const std::string npc = "http://www." + npcSite + "/npc=1 2";
    EXPECT_EQ(log(), "KESH error pushing NPC string: 4\nopening URL " + npc + "\nError creating URL from " +
                         npc + " for desktop browser\n");
    EXPECT_EQ(fakes.desktop.opened.size(), 2u);
}

TEST_F(ComposerTest, MissingOrUnreadableTemplatesAreAlwaysReported) {
    const auto resources = copyResources();
    std::filesystem::remove(resources / "vistrel.html");
    std::filesystem::remove(resources / "wowhead.html");
    std::ofstream(resources / "update.html", std::ios::binary) << "not UTF-8: \xC3(";
    controller.showOnDesktopToo = true;
    controller.standingByForNewNameToStart = false;

    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { controller.evaluateMessage("Thrall-Draka"); },
         "Error! Unable to open the Vistrel template file. Please reinstall Kesh Vistrel.\n"},
        {[&] { controller.evaluateMessage("N1"); },
         "Error! Unable to open the Wowhead template file. Please reinstall Kesh Vistrel.\n"},
        {[&] { controller.pushUpdatePage(); },
         "Error locating update HTML template file. Reinstall Kesh Vistrel\n"},
    };
    for (const auto& [run, error] : cases) {
        fakes.log.text.clear();
        run();
        EXPECT_EQ(log(), error);
    }
    EXPECT_TRUE(controller.standingByForNewNameToStart) << "a dispatched message re-arms the update page";
    EXPECT_TRUE(fakes.desktop.opened.empty());
    controller.landingPageInt = 4; // the ranking template is still there
    controller.evaluateMessage("Thrall-Draka");
    EXPECT_EQ(fakes.desktop.opened.size(), 1u);
}

TEST_F(ComposerTest, EveryRefusedUpdatePushIsReportedInDebugModeAndMissingImagesAreSkipped) {
    controller.debugMode = true;
    controller.pushUpdatePage();
    controller.levelTrigger(nullptr);
    EXPECT_EQ(log(), "KESH error pushing Wow.gif: 4\nKESH error pushing quorbbounce.gif: 4\n"
                     "KESH error pushing update.html string: 4\nKESH error setting update index file: 4\n");

    std::filesystem::remove(copyResources() / "wow.gif");
    fakes.log.text.clear();
    controller.pushUpdatePage();
    EXPECT_EQ(log(), "KESH error pushing quorbbounce.gif: 4\nKESH error pushing update.html string: 4\n");
}

} // namespace
} // namespace kv::testing
