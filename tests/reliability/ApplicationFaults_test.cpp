// The application core when displays vanish and come back, or the host stops reading as the user quits.
#include "ChannelTestSupport.h"
#include "CoreTestSupport.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <future>

namespace kv::reliability {
namespace {

using namespace std::chrono_literals;
enum MessageType : std::uint32_t { content = 5, index = 7 };
constexpr auto kGenerousDeadline = 60s; // only a hang reaches it

class ApplicationUnderFaults : public kv::testing::CoreTest {
protected:
    ~ApplicationUnderFaults() override { HalvKeshShutdown(); } // before the host goes away

    // Paints each byte as its two frames over the default strip, one reader tick per frame.
    void paintBytes(const std::string& bytes) {
        for (const char byte : bytes)
            for (const int phase : {0, 1}) {
                channel::testing::paintFrame(fakes.screen, 2, 1, 80.0, static_cast<unsigned char>(byte),
                                             phase);
                fakes.runLoop.runFor(50ms);
            }
    }

    halvtest::TestHost host; // points XDG_DATA_HOME at its own folder
};

TEST_F(ApplicationUnderFaults, DisplaysVanishingBetweenFramesLoseNoByteAndTheReaderGoesOn) {
    controller.applicationDidFinishLaunching();
    ASSERT_TRUE(host.waitForMessages(4, kGenerousDeadline));

    paintBytes("Thrall-");
    // Less than the 3 s after which a partial message counts as cut off.
    fakes.screen.displayCount = 0; // the screens go away for a second
    fakes.runLoop.runFor(1s);
    fakes.screen.displayCount = std::nullopt; // the platform cannot even count them
    fakes.runLoop.runFor(1s);
    fakes.screen.displayCount = 1;
    fakes.screen.captureFails = true; // back, but the first captures give no image
    fakes.runLoop.runFor(500ms);
    fakes.screen.captureFails = false;
    paintBytes("Draka\x07\x08");
    fakes.runLoop.runFor(1s); // the next hand-off

    controller.applicationWillTerminate();
    ASSERT_TRUE(host.waitForDisconnects(1, kGenerousDeadline));
    const auto messages = host.messages();
    ASSERT_GE(messages.size(), 7u);
    const auto& page = messages[messages.size() - 2];
    EXPECT_EQ(page.type, content);
    const auto payload = page.payload();
    EXPECT_NE(std::string(payload.begin(), payload.end()).find("/character/us/draka/Thrall\""),
              std::string::npos);
    std::vector<std::string> shown;
    for (const auto& message : messages)
        if (message.type == index)
            shown.push_back(message.fileName());
    EXPECT_EQ(shown, (std::vector<std::string>{"update.html", "vistrel.html"}));
    EXPECT_NE(log().find("recordColors: No displays available.\n"), std::string::npos);
}

TEST_F(ApplicationUnderFaults, QuittingNeverHangsWhileTheHostHasStoppedReading) {
    controller.applicationDidFinishLaunching();
    ASSERT_TRUE(host.waitForMessages(4, kGenerousDeadline));
    host.pauseReading(true);
    // More than the socket holds, less than the ring buffer: the pages sit queued as the user quits.
    controller.evaluateMessage("Thrall-Draka");
    const std::vector<unsigned char> picture(300 * 1024, 0x42);
    HalvKeshAddContentAs(picture.data(), static_cast<int>(picture.size()), CFSTR("picture.bin"), CFSTR(""));
    controller.evaluateMessage("Jaina-Proudmoore");

    // A hang cannot be cancelled: end the process rather than hold the whole run.
    auto quitting = std::async(std::launch::async, [this] { controller.applicationWillTerminate(); });
    if (quitting.wait_for(kGenerousDeadline) != std::future_status::ready) {
        std::fputs("quitting did not return\n", stderr);
        std::_Exit(3);
    }
    host.pauseReading(false);
    EXPECT_TRUE(host.waitForDisconnects(1, kGenerousDeadline));
}

} // namespace
} // namespace kv::reliability
