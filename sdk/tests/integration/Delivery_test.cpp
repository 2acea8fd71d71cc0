// Messages from many threads, and bursts of them, arrive whole and in order.
#include "SdkTestSupport.h"

#include <thread>
#include <vector>

using namespace halvtest;

namespace {

class Delivery : public SdkTest {};

// Sizes cross the chunk size so that continuation frames race too, and mix
// the writer's two ways out of the queue: small frames batched, large ones
// alone.
std::vector<uint8_t> payloadOf(int thread, int message) {
    const size_t size = message % 50 == 25 ? 130000 * static_cast<size_t>(1 + message % 4)
                                           : 1 + static_cast<size_t>(message * 37 % 3000);
    return std::vector<uint8_t>(size, static_cast<uint8_t>(thread * 31 + message));
}

} // namespace

TEST_F(Delivery, ThreadsSendingAtOnceNeverInterleaveTheirMessages) {
    ASSERT_TRUE(init());
    constexpr int kThreads = 8;
    constexpr int kPerThread = 400;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) {
                const auto payload = payloadOf(t, i);
                const std::string name = std::to_string(t) + "/" + std::to_string(i);
                EXPECT_TRUE(HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()),
                                                 text(name).get(), CFSTR("")));
            }
        });
    for (auto& sender : senders)
        sender.join();
    ASSERT_TRUE(host->waitForMessages(1 + kThreads * kPerThread, kDeadline));
    std::vector<int> next(kThreads, 0);
    for (const Message& message : host->messages()) {
        if (message.type == 2)
            continue;
        ASSERT_EQ(message.type, 5u);
        const std::string name = message.fileName();
        const int t = std::stoi(name.substr(0, name.find('/')));
        const int i = std::stoi(name.substr(name.find('/') + 1));
        ASSERT_EQ(i, next[static_cast<size_t>(t)]++) << "a thread's messages arrive in its order";
        ASSERT_EQ(message.payload(), payloadOf(t, i)) << name;
    }
}
