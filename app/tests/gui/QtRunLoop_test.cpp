#include "platform/QtRunLoop.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using namespace std::chrono_literals;

TEST(QtRunLoop, PostedWorkWaitsForTheCurrentOperationAndTimersFireWhileTheLoopRunsFor) {
    QtRunLoop loop;
    std::vector<std::string> order;
    int ticks = 0;
    loop.scheduleRepeating(0.01s, [&] { ++ticks; });
    loop.postToMain([&] { order.push_back("posted"); });
    order.push_back("current");

    const auto start = loop.now();
    loop.runFor(0.1s);

    EXPECT_GE(loop.now() - start, 0.09s); // timer resolution is a millisecond
    EXPECT_EQ(order, (std::vector<std::string>{"current", "posted"}));
    EXPECT_GE(ticks, 3);
}

TEST(QtRunLoop, TimersGoOnAfterANestedRunAndNegativeTimesDoNotBlock) {
    QtRunLoop loop;
    int nested = 0;
    loop.scheduleRepeating(0.02s, [&] {
        if (nested++ == 0)
            loop.runFor(0.03s); // as a calibration step inside a timer would
    });
    loop.runFor(0.1s);
    EXPECT_GE(nested, 2);
    const auto before = loop.now();
    loop.runFor(-5s);
    EXPECT_LT(loop.now() - before, 1s);
}

} // namespace
} // namespace kv
