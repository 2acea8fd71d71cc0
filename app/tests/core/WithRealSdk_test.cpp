// The core against the real SDK and a test host: exactly the files, pages and index changes expected, in
// order.
#include "ChannelTestSupport.h"
#include "CoreTestSupport.h"
#include "TestHost.h"
#include "shell/Configuration.h"

#include <chrono>
#include <fstream>
#include <iterator>

namespace kv::testing {
namespace {

using namespace std::chrono_literals;
using Messages = std::vector<halvtest::Message>;
constexpr auto deadline = 10s;

std::string payloadText(const halvtest::Message& message) {
    const auto bytes = message.payload();
    return {bytes.begin(), bytes.end()};
}

// Each message as "<what> <file>": "file" a file by path, "content" a page's
// text, "index" the page shown.
std::vector<std::string> summary(const Messages& messages) {
    std::vector<std::string> lines;
    for (const halvtest::Message& m : messages)
        lines.push_back((m.type == 4   ? "file "
                         : m.type == 5 ? "content "
                         : m.type == 7 ? "index "
                                       : "other ") +
                        m.fileName());
    return lines;
}

class CoreWithRealSdk : public CoreTest {
protected:
    ~CoreWithRealSdk() override { HalvKeshShutdown(); } // before the host goes away

    // Everything the host received after the launch's registration and update
    // page, once the SDK has shut down and so has sent every message it queued.
    Messages messagesAfterLaunch() {
        controller.applicationWillTerminate();
        EXPECT_TRUE(host.waitForDisconnects(1, deadline));
        auto messages = host.messages();
        messages.erase(messages.begin(),
                       messages.begin() + std::min<std::ptrdiff_t>(4, std::ssize(messages)));
        return messages;
    }

    // Paints each byte of `text` and the terminator over the default strip, one reader tick a frame.
    void paintMessage(const std::string& text) {
        for (const char byte : text + "\x07\x08")
            for (const int phase : {0, 1}) {
                channel::testing::paintFrame(fakes.screen, 2, 1, 80.0, static_cast<unsigned char>(byte),
                                             phase);
                fakes.runLoop.runFor(50ms);
            }
    }

    halvtest::TestHost host; // points XDG_DATA_HOME at its own folder
};

TEST_F(CoreWithRealSdk,
       AFirstStartStoresTheUpdatePageAgainInAnotherLanguageAndNothingOnceTheMenuClosesTheConnection) {
    controller.applicationDidFinishLaunching();
    EXPECT_NE(log().find("Halvorin Kesh Control initialized successfully.\n\n"), std::string::npos);
    fakes.languageMenu.choose(7);
    controller.languageChanged(&fakes.languageMenu);
    controller.debugMode = true;
    controller.ShutdownKeshMenuClick(&fakes.shutdownMenuItem);
    ASSERT_TRUE(host.waitForDisconnects(1, deadline));
    EXPECT_FALSE(controller.retryKeshInit()) << "only a restart reconnects";
    fakes.log.text.clear();
    controller.showOnDesktopToo = true;
    controller.evaluateMessage("Thrall-Draka");
    EXPECT_NE(log().find("KESH error pushing player string: 4\n"), std::string::npos);
    EXPECT_EQ(fakes.desktop.opened.size(), 1u) << "the desktop page opens all the same";

    const Messages messages = host.messages();
    EXPECT_EQ(summary(messages), (std::vector<std::string>{"other ", "file wow.gif", "file quorbbounce.gif",
                                                           "content update.html", "file wow.gif",
                                                           "file quorbbounce.gif", "content update.html"}));
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_EQ(messages[1].filePath(), (shippedResources / "wow.gif").string());
    std::ifstream page(shippedResources / "update.html", std::ios::binary);
    EXPECT_EQ(payloadText(messages[3]), std::string(std::istreambuf_iterator<char>(page), {}));
    EXPECT_NE(payloadText(messages[6]).find("Réactualisation"), std::string::npos);
    EXPECT_EQ(payloadText(messages[6]).find("Updating"), std::string::npos);
}

TEST_F(CoreWithRealSdk, EachMessageReadFromTheScreenShowsTheUpdatePageOnceThenItsOwnPage) {
    controller.applicationDidFinishLaunching(); // no calibration stored: the default strip
    paintMessage("Thrall-Aerie Peak");
    fakes.runLoop.runFor(1s); // the next hand-off
    EXPECT_TRUE(controller.standingByForNewNameToStart) << "the next message brings the update page again";
    paintMessage("N10184");
    fakes.runLoop.runFor(1s);
    controller.moneyTrigger(nullptr);
    fakes.runLoop.runFor(1s);
    controller.landingPageInt = 4;
    controller.userLanguage = 11;
    controller.evaluateMessage("Ëlf-Kel'Thuzad");
    controller.levelTrigger(nullptr);

    const Messages messages = messagesAfterLaunch();
    EXPECT_EQ(summary(messages),
              (std::vector<std::string>{"index update.html", "content vistrel.html", "index vistrel.html",
                                        "index update.html", "content wowhead.html", "index wowhead.html",
                                        "content wowhead.html", "index wowhead.html", "content raiderio.html",
                                        "index raiderio.html", "index update.html"}));
    ASSERT_EQ(messages.size(), 11u);
    const std::string vistrel = payloadText(messages[1]);
    EXPECT_NE(vistrel.find("/en-us/character/us/aerie-peak/Thrall\""), std::string::npos);
    EXPECT_EQ(vistrel.find(config::namePlaceholder), std::string::npos);
    EXPECT_NE(payloadText(messages[4]).find("//www." + std::string(config::npcSiteDomain) + "/npc=10184"),
              std::string::npos);
    EXPECT_NE(payloadText(messages[6]).find("/npc=PC10184"), std::string::npos);
    EXPECT_NE(payloadText(messages[8]).find("/characters/kr/kelthuzad/Ëlf\""), std::string::npos);
}

} // namespace
} // namespace kv::testing
