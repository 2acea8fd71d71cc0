// The simulated clock is what every timing test stands on, so its rules are held here.
#include "FakeRunLoop.h"

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono_literals;
using kv::fakes::FakeRunLoop;

TEST(FakeRunLoop, RunningForASecondFiresEachTimerAsOftenAsItFallsDue) {
    FakeRunLoop loop;
    int slow = 0, fast = 0;
    loop.scheduleRepeating(1.0s, [&] { ++slow; });
    loop.scheduleRepeating(0.05s, [&] { ++fast; });
    const auto start = loop.now();
    loop.runFor(1.0s);
    EXPECT_EQ(slow, 1);
    EXPECT_EQ(fast, 20);
    EXPECT_EQ(loop.now() - start, std::chrono::seconds(1));
    loop.runFor(0.5s);
    EXPECT_EQ(slow, 1);
    EXPECT_EQ(fast, 30);
}

TEST(FakeRunLoop, PostedWorkRunsAfterTheCurrentOperationInOrder) {
    FakeRunLoop loop;
    std::vector<int> order;
    loop.postToMain([&] {
        order.push_back(1);
        loop.postToMain([&] { order.push_back(3); });
    });
    loop.postToMain([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    loop.runFor(0.0s);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(FakeRunLoop, ATimerActionMayRunTheLoopAgainWithoutRefiringItself) {
    FakeRunLoop loop;
    int outer = 0, inner = 0;
    loop.scheduleRepeating(0.05s, [&] { ++inner; });
    loop.scheduleRepeating(1.0s, [&] {
        ++outer;
        loop.runFor(0.1s); // as a blocking command stepping the loop would
    });
    const auto start = loop.now();
    loop.runFor(1.0s);
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 22);
    EXPECT_EQ(loop.now() - start, std::chrono::milliseconds(1100));
}
