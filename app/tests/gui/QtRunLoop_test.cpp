#include "platform/QtRunLoop.h"

#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <thread>

namespace kv {
namespace {

using namespace std::chrono_literals;

TEST(QtRunLoop, PostedWorkWaitsForTheCurrentOperationAndTimersFireInANestedRun) {
    QtRunLoop loop;
    std::vector<std::string> order;
    int ticks = 0;
    loop.scheduleRepeating(0.01s, [&] {
        if (ticks++ == 0)
            loop.runFor(0.03s); // as a calibration step inside a timer would
    });
    loop.postToMain([&] { order.push_back("posted"); });
    order.push_back("current");
    loop.runFor(0.1s);
    EXPECT_EQ(order, (std::vector<std::string>{"current", "posted"}));
    EXPECT_GE(ticks, 3);
}

TEST(QtRunLoop, SamplesGoOnWhileTheMainThreadIsBusyAndReachItInOrder) {
    QtRunLoop loop;
    const auto mainThread = std::this_thread::get_id();
    std::atomic<int> taken{0};
    std::vector<int> delivered;
    bool sampledOffTheMainThread = true;
    loop.scheduleSampling(0.02s, [&]() -> SampleWork {
        sampledOffTheMainThread = sampledOffTheMainThread && std::this_thread::get_id() != mainThread;
        return [&, sample = taken++] {
            delivered.push_back(std::this_thread::get_id() == mainThread ? sample : -1);
        };
    });
    // A busy main thread: the samples of these 0.3 s wait for it, none is lost.
    std::this_thread::sleep_for(300ms);
    EXPECT_GE(taken, 10);
    ASSERT_TRUE(testsupport::waitUntil([&] { return delivered.size() >= 20; }, 5s));
    loop.stopSampling();
    for (std::size_t i = 0; i < delivered.size(); ++i)
        ASSERT_EQ(delivered[i], static_cast<int>(i));
    EXPECT_TRUE(sampledOffTheMainThread);
}

} // namespace
} // namespace kv
