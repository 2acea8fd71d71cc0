// The SDK when the host stops reading, goes away or comes back: no thread stays blocked, nothing queued
// for one connection reaches another, and the applet never has to restart.
#include "SdkTestSupport.h"
#include "TemporaryFolder.h"

#include <atomic>
#include <set>
#include <thread>
#include <vector>

using namespace halvtest;

using HostFaults = SdkTest;

TEST_F(HostFaults, ShutDownAmidSendersReleasesEveryThreadAndLeavesNothingForTheNextConnection) {
    enum class Host { reading, stoppedReading, gone };
    // With the host gone frames drop as fast as they come: only huge messages keep a sender sending.
    const std::pair<Host, size_t> cases[] = {
        {Host::reading, 300000}, {Host::stoppedReading, 300000}, {Host::gone, 64 << 20}};
    for (const auto& [hostState, size] : cases) {
        SCOPED_TRACE(static_cast<int>(hostState));
        host = std::make_unique<TestHost>();
        ASSERT_TRUE(init());
        ASSERT_TRUE(host->waitForMessages(1, kDeadline));
        host->pauseReading(hostState == Host::stoppedReading);
        if (hostState == Host::gone)
            host.reset();

        const std::vector<uint8_t> payload(size, 0x5a);
        std::atomic<int> returned{0}, finished{0};
        std::atomic<bool> shutDown{false};
        std::vector<std::vector<std::string>> queued(4);
        std::vector<std::thread> threads;
        for (size_t t = 0; t < queued.size(); ++t)
            threads.emplace_back([&, t] {
                for (int i = 0;; ++i) {
                    const std::string name = std::to_string(t) + "-" + std::to_string(i);
                    if (!HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()),
                                              text(name).get(), CFSTR("")))
                        break;
                    queued[t].push_back(name);
                    ++returned;
                }
                ++finished;
            });
        threads.emplace_back([&] {
            while (!shutDown)
                HalvKeshGetLastError();
            ++finished;
        });
        ASSERT_TRUE(waitUntil(kDeadline, [&] { return returned >= 2; }));
        HalvKeshShutdown();
        shutDown = true;
        if (!waitUntil(2s, [&] { return finished == static_cast<int>(threads.size()); })) {
            std::fputs("a thread was still blocked 2 s after ShutDown returned\n", stderr);
            std::_Exit(1); // it cannot be joined
        }
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(HalvKeshGetLastError(), 4) << "every sender's last send failed as not initialised";

        if (hostState == Host::reading) {
            // A send that returned true was delivered, whole.
            ASSERT_TRUE(host->waitForDisconnects(1, kDeadline));
            std::set<std::string> delivered;
            for (const Message& message : host->messages())
                if (message.payload() == payload)
                    delivered.insert(message.fileName());
            for (const auto& names : queued)
                for (const auto& name : names)
                    EXPECT_TRUE(delivered.count(name)) << name;
        }
        if (!host)
            host = std::make_unique<TestHost>();
        host->pauseReading(false);
        ASSERT_TRUE(init());
        ASSERT_TRUE(HalvKeshSetIndex(CFSTR("next")));
        const auto next = connectionThatSent(*host, "next");
        ASSERT_EQ(next.size(), 2u) << "the next connection holds the registration, then the index";
        EXPECT_EQ(next[0].type, 2u);
        HalvKeshShutdown();
    }
}

TEST(HostThatComesBack, GetsTheRegistrationThenTheNextPushes) {
    kv::testsupport::TemporaryFolder folder;
    setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
    auto host = std::make_unique<TestHost>(folder.path().string());
    testing::internal::CaptureStderr();
    ASSERT_TRUE(HalvKeshInit(CFSTR("com.example.tester"), CFSTR("Tester"), nullptr));
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    // The host goes away while a message of two frames is on its way.
    host->pauseReading(true);
    const std::vector<uint8_t> payload(350000, 0x33);
    ASSERT_TRUE(
        HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()), CFSTR("big"), CFSTR("")));
    host.reset();
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("nobody")));

    host = std::make_unique<TestHost>(folder.path().string());
    bool arrived = false;
    for (int i = 0; !arrived && i < 20; ++i) { // within 2 s of the host's return
        EXPECT_TRUE(HalvKeshSetIndex(text("page" + std::to_string(i)).get()));
        arrived = host->waitForMessages(2, 100ms);
    }
    ASSERT_TRUE(arrived) << "no registration and push after the host's return";
    const auto messages = host->messages();
    EXPECT_EQ(messages[0].identifier(), "com.example.tester");
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_EQ(messages[i].type, 7u) << "nothing of the old host's message reaches the new one";
    HalvKeshShutdown();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    EXPECT_NE(log.find("lost the host"), std::string::npos) << log;
    EXPECT_NE(log.find("reconnected"), std::string::npos) << log;
}
