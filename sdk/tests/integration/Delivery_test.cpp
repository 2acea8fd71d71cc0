// Delivery under load and when the host misbehaves: whole messages, in order,
// and a ShutDown that always returns.
#include "SdkTestSupport.h"

#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace halvtest;

namespace {

class Delivery : public SdkTest {};

std::vector<uint8_t> filled(size_t size, uint8_t value) {
    return std::vector<uint8_t>(size, value);
}

} // namespace

TEST_F(Delivery, EightThreadsSendingAtOnceNeverInterleaveMessages) {
    ASSERT_TRUE(init());
    constexpr int kThreads = 8;
    constexpr int kPerThread = 12;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([t] {
            // Sizes cross the chunk size so that continuation frames race too.
            for (int i = 0; i < kPerThread; ++i) {
                const auto payload =
                    filled(static_cast<size_t>(1000 + 130000 * (i % 4)), static_cast<uint8_t>(t));
                const std::string name = std::to_string(t) + "/" + std::to_string(i);
                EXPECT_TRUE(HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()),
                                                 text(name).get(), CFSTR("")));
            }
        });
    for (auto& sender : senders)
        sender.join();
    ASSERT_TRUE(host->waitForMessages(1 + kThreads * kPerThread, kDeadline));

    std::vector<int> nextOfThread(kThreads, 0);
    for (const Message& message : host->messages()) {
        if (message.type == 2)
            continue;
        ASSERT_EQ(message.type, 5u);
        const std::string name = message.fileName();
        const int t = std::stoi(name.substr(0, name.find('/')));
        const int i = std::stoi(name.substr(name.find('/') + 1));
        EXPECT_EQ(i, nextOfThread[t]++) << "a thread's messages arrive in its order";
        EXPECT_EQ(message.payload(),
                  filled(static_cast<size_t>(1000 + 130000 * (i % 4)), static_cast<uint8_t>(t)));
    }
}

TEST_F(Delivery, ABurstOfSmallMessagesAroundLargeOnesArrivesWholeAndInOrder) {
    // Small frames leave the queue together in one socket write; thousands of
    // them wrap the queue many times, and a large one in between takes the
    // other path out of the queue.
    ASSERT_TRUE(init());
    constexpr int kMessages = 3000;
    auto sizeOf = [](int i) { return i % 1000 == 500 ? 200000 : 1 + (i * 37) % 3000; };
    for (int i = 0; i < kMessages; ++i) {
        const auto payload = filled(static_cast<size_t>(sizeOf(i)), static_cast<uint8_t>(i));
        ASSERT_TRUE(HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()),
                                         text(std::to_string(i)).get(), CFSTR("")));
    }
    ASSERT_TRUE(host->waitForMessages(1 + kMessages, kDeadline));
    const auto messages = host->messages();
    for (int i = 0; i < kMessages; ++i) {
        const Message& message = messages[static_cast<size_t>(1 + i)];
        ASSERT_EQ(message.fileName(), std::to_string(i));
        ASSERT_EQ(message.payload(), filled(static_cast<size_t>(sizeOf(i)), static_cast<uint8_t>(i)));
    }
}

TEST_F(Delivery, ShutdownSendsEveryQueuedFrameBeforeClosing) {
    ASSERT_TRUE(init());
    host->pauseReading(true);
    // Well inside the ring buffer, so the sends return while nobody reads.
    for (int i = 0; i < 3; ++i) {
        const auto payload = filled(120000, static_cast<uint8_t>(i + 1));
        ASSERT_TRUE(HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()),
                                         text("q" + std::to_string(i)).get(), CFSTR("")));
    }
    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("q2")));
    auto shutdown = std::async(std::launch::async, [] { HalvKeshShutdown(); });
    host->pauseReading(false);
    ASSERT_EQ(shutdown.wait_for(kDeadline), std::future_status::ready);
    ASSERT_TRUE(host->waitForDisconnects(1, kDeadline));
    const auto messages = host->messages();
    ASSERT_EQ(messages.size(), 5u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(messages[1 + i].payload(), filled(120000, static_cast<uint8_t>(i + 1)));
    EXPECT_EQ(messages[4].fileName(), "q2");
}

TEST_F(Delivery, HostClosingMidStreamNeitherKillsNorBlocksTheApplet) {
    ASSERT_TRUE(init());
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    host->closeClient();
    ASSERT_TRUE(host->waitForDisconnects(1, kDeadline));
    // Far more than any socket buffer: the writer must meet the closed socket.
    const auto payload = filled(250000, 0xab);
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(
            HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()), CFSTR("lost"), CFSTR("")));
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("lost")));
    auto shutdown = std::async(std::launch::async, [] { HalvKeshShutdown(); });
    EXPECT_EQ(shutdown.wait_for(kDeadline), std::future_status::ready);
}

TEST_F(Delivery, ShutdownReturnsWhenTheHostStopsReadingWithAFullQueue) {
    ASSERT_TRUE(init());
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    host->pauseReading(true);
    // The producer sends until a send fails: it fills the socket buffer and
    // the ring buffer and then blocks, holding the call mutex, until ShutDown
    // gives up on the host; its next send then fails as not initialised.
    const auto payload = filled(200000, 0x11);
    std::atomic<int> returned{0};
    auto sender = std::async(std::launch::async, [&] {
        while (
            HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()), CFSTR("stuck"), CFSTR("")))
            ++returned;
    });
    // By now the writer is stuck on a host that reads nothing.
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return returned.load() >= 3; }));
    auto shutdown = std::async(std::launch::async, [] { HalvKeshShutdown(); });
    EXPECT_EQ(shutdown.wait_for(kDeadline), std::future_status::ready);
    EXPECT_EQ(sender.wait_for(kDeadline), std::future_status::ready);
    EXPECT_EQ(HalvKeshGetLastError(), 4);
    host->pauseReading(false);
    // Init works again at once on a fresh connection.
    EXPECT_TRUE(init());
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("fresh")));
    // The old connection's leftovers may arrive in between; the new one is
    // the host's second client.
    ASSERT_TRUE(waitUntil(kDeadline, [&] {
        for (const Message& message : host->messages())
            if (message.connection == 2 && message.fileName() == "fresh")
                return true;
        return false;
    }));
}
