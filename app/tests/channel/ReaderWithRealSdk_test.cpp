// The reader against the real SDK and a test host on a temporary socket: the
// companion display is switched to the update page once per arriving message.
#ifdef KV_HAVE_TEST_HOST

#include "FakePlatform.h"
#include "ScreenPainting.h"
#include "TestHost.h"
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace kv;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kIndexMessage = 7;

class ReaderWithRealSdk : public ::testing::Test {
protected:
    halvtest::TestHost host; // before the SDK connects: it points the data folder at itself
    fakes::FakePlatform fake;
    AppDelegate controller{fake.platform()};

    void SetUp() override {
        CFStringRef identifier = CFSTR("com.Pellmoor.Kesh-Vistrel");
        CFStringRef name = CFSTR("WoW Vistrel");
        ASSERT_TRUE(HalvKeshInit(identifier, name, nullptr));
        fake.attach(controller);
        controller.loadCalibration();
        controller.myScanRect = Rect{2.0, 1.0, 80.0, 1.0};
        controller.computePixelOffsets();
    }
    void TearDown() override { HalvKeshShutdown(); }

    void sendBytes(const std::vector<int>& bytes) {
        for (int byte : bytes)
            for (int phase : {0, 1}) {
                channel::testing::paintFrame(fake.screen, 2, 1, 80.0, byte, phase);
                controller.recordColorsThread();
            }
    }
    std::vector<std::string> indexPagesShown() {
        std::vector<std::string> pages;
        for (const auto& message : host.messages())
            if (message.type == kIndexMessage)
                pages.push_back(message.fileName());
        return pages;
    }
};

} // namespace

TEST_F(ReaderWithRealSdk, ShowsTheUpdatePageOncePerArrivingMessage) {
    sendBytes({'A', 'B', 7, 8});
    ASSERT_EQ(controller.currentMessage, "AB");
    // The hand-off stands by for the next message once it has taken this one.
    controller.currentMessage.clear();
    controller.standingByForNewNameToStart = true;
    sendBytes({'C', 'D', 7, 8});
    ASSERT_EQ(controller.currentMessage, "CD");

    // Registration first, then the two index messages.
    ASSERT_TRUE(host.waitForMessages(3, 5000ms));
    EXPECT_EQ(indexPagesShown(), (std::vector<std::string>{"update.html", "update.html"}));
    HalvKeshShutdown();
    EXPECT_EQ(indexPagesShown().size(), 2u);
}

#endif
