// The core against the real SDK and a test host on a temporary socket: the
// host must receive exactly the files, contents and index changes expected,
// in order.
#include "CoreTestSupport.h"

#ifdef KV_HAVE_TEST_HOST

#include "ChannelTestSupport.h"
#include "TestHost.h"
#include "shell/Configuration.h"

#include <chrono>
#include <fstream>
#include <iterator>

namespace kv::testing {
namespace {

using namespace std::chrono_literals;
constexpr auto deadline = std::chrono::milliseconds(10000);

enum MessageType : std::uint32_t { registration = 2, file = 4, content = 5, index = 7 };

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string payloadText(const halvtest::Message& message) {
    const auto bytes = message.payload();
    return {bytes.begin(), bytes.end()};
}

// Paints each byte of `text` and the terminator over the default strip (x 2,
// y 1, 80 pixels wide), one reader tick per frame.
void paintMessage(fakes::FakePlatform& fakes, const std::string& text) {
    std::vector<int> bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), {7, 8});
    for (const int byte : bytes)
        for (const int phase : {0, 1}) {
            channel::testing::paintFrame(fakes.screen, 2, 1, 80.0, byte, phase);
            fakes.runLoop.runFor(50ms);
        }
}

class CoreWithRealSdk : public CoreTest {
protected:
    ~CoreWithRealSdk() override { HalvKeshShutdown(); } // before the host goes away

    // Everything the host received after `skip` messages, once the SDK has
    // shut down and so has sent every message it queued.
    std::vector<halvtest::Message> allMessagesAfterShutdown(std::size_t skip = 0) {
        controller.applicationWillTerminate();
        EXPECT_TRUE(host.waitForDisconnects(1, deadline));
        auto messages = host.messages();
        messages.erase(messages.begin(),
                       messages.begin() + static_cast<std::ptrdiff_t>(std::min(skip, messages.size())));
        return messages;
    }

    halvtest::TestHost host; // points XDG_DATA_HOME at its own folder
};

TEST_F(CoreWithRealSdk, AFirstStartRegistersAndStoresTheUpdatePageWithoutShowingIt) {
    controller.applicationDidFinishLaunching();
    EXPECT_NE(log().find("Halvorin Kesh Control initialized successfully.\n\n"), std::string::npos);

    const auto messages = allMessagesAfterShutdown();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].type, registration);
    EXPECT_EQ(messages[0].identifier(), config::applicationIdentifier);
    EXPECT_EQ(messages[0].friendlyName(), config::applicationFriendlyName);
    EXPECT_EQ(messages[1].type, file);
    EXPECT_EQ(messages[1].fileName(), "wow.gif");
    EXPECT_EQ(messages[1].filePath(), (shippedResources / "wow.gif").string());
    EXPECT_EQ(messages[1].fileType(), "");
    EXPECT_EQ(messages[2].type, file);
    EXPECT_EQ(messages[2].fileName(), "quorbbounce.gif");
    EXPECT_EQ(messages[3].type, content);
    EXPECT_EQ(messages[3].fileName(), "update.html");
    EXPECT_EQ(payloadText(messages[3]), readFile(shippedResources / "update.html"));
}

TEST_F(CoreWithRealSdk, EachMessagePushesItsPageAndThenShowsIt) {
    controller.applicationDidFinishLaunching();
    ASSERT_TRUE(host.waitForMessages(4, deadline));

    controller.currentMessage = "Thrall-Aerie Peak";
    fakes.runLoop.runFor(1s);
    controller.moneyTrigger(nullptr);
    fakes.runLoop.runFor(1s);
    controller.landingPageInt = 4;
    controller.userLanguage = 11;
    controller.evaluateMessage("Ëlf-Kel'Thuzad");
    controller.levelTrigger(nullptr);

    const auto messages = allMessagesAfterShutdown(4);
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_EQ(messages[0].type, content);
    EXPECT_EQ(messages[0].fileName(), "vistrel.html");
    const std::string vistrel = payloadText(messages[0]);
    EXPECT_NE(vistrel.find("/en-us/character/us/aerie-peak/Thrall\""), std::string::npos);
    EXPECT_EQ(vistrel.find(config::namePlaceholder), std::string::npos);
    EXPECT_EQ(messages[1].type, index);
    EXPECT_EQ(messages[1].fileName(), "vistrel.html");

    EXPECT_EQ(messages[2].fileName(), "wowhead.html");
    EXPECT_NE(payloadText(messages[2]).find("//www." + std::string(config::npcSiteDomain) + "/npc=PC10184"),
              std::string::npos);
    EXPECT_EQ(messages[3].type, index);
    EXPECT_EQ(messages[3].fileName(), "wowhead.html");

    EXPECT_EQ(messages[4].fileName(), "raiderio.html");
    EXPECT_NE(payloadText(messages[4]).find("/characters/kr/kelthuzad/Ëlf\""), std::string::npos);
    EXPECT_EQ(messages[5].type, index);
    EXPECT_EQ(messages[5].fileName(), "raiderio.html");

    EXPECT_EQ(messages[6].type, index);
    EXPECT_EQ(messages[6].fileName(), "update.html");
}

TEST_F(CoreWithRealSdk, EachMessageReadFromTheScreenShowsTheUpdatePageOnceThenItsOwnPage) {
    controller.applicationDidFinishLaunching(); // no calibration stored: the default strip
    paintMessage(fakes, "Thrall-Draka");
    fakes.runLoop.runFor(1s); // the next hand-off
    EXPECT_TRUE(controller.standingByForNewNameToStart) << "the next message brings the update page again";
    paintMessage(fakes, "N10184");
    fakes.runLoop.runFor(1s);

    const auto messages = allMessagesAfterShutdown(4);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].type, index);
    EXPECT_EQ(messages[0].fileName(), "update.html");
    EXPECT_EQ(messages[1].type, content);
    EXPECT_EQ(messages[1].fileName(), "vistrel.html");
    EXPECT_NE(payloadText(messages[1]).find("/character/us/draka/Thrall\""), std::string::npos);
    EXPECT_EQ(messages[2].type, index);
    EXPECT_EQ(messages[2].fileName(), "vistrel.html");
    EXPECT_EQ(messages[3].type, index);
    EXPECT_EQ(messages[3].fileName(), "update.html");
    EXPECT_EQ(messages[4].fileName(), "wowhead.html");
    EXPECT_EQ(messages[5].type, index);
    EXPECT_EQ(messages[5].fileName(), "wowhead.html");
}

TEST_F(CoreWithRealSdk, AnotherLanguageRestoresTheUpdatePageInThatLanguage) {
    controller.applicationDidFinishLaunching();
    fakes.languageMenu.choose(7);
    controller.languageChanged(&fakes.languageMenu);

    const auto messages = allMessagesAfterShutdown(4);
    ASSERT_EQ(messages.size(), 3u) << "images and page again, and no index";
    EXPECT_EQ(messages[0].fileName(), "wow.gif");
    EXPECT_EQ(messages[1].fileName(), "quorbbounce.gif");
    EXPECT_EQ(messages[2].fileName(), "update.html");
    const std::string page = payloadText(messages[2]);
    EXPECT_NE(page.find("Réactualisation"), std::string::npos);
    EXPECT_EQ(page.find("Updating"), std::string::npos);
}

TEST_F(CoreWithRealSdk, AfterTheMenuClosesTheConnectionPushesFailAndAreReportedInDebugMode) {
    controller.applicationDidFinishLaunching();
    controller.debugMode = true;
    controller.ShutdownKeshMenuClick(&fakes.shutdownMenuItem);
    ASSERT_TRUE(host.waitForDisconnects(1, deadline));
    EXPECT_FALSE(controller.retryKeshInit()) << "only a restart reconnects";
    fakes.log.clear();

    controller.showOnDesktopToo = true;
    controller.evaluateMessage("Thrall-Draka");
    EXPECT_NE(log().find("KESH error pushing player string: 4\n"), std::string::npos);
    EXPECT_EQ(fakes.desktop.opened.size(), 1u) << "the desktop page opens all the same";
    EXPECT_EQ(host.messages().size(), 4u);
}

} // namespace
} // namespace kv::testing

#endif
