#include "core/Event.h"

#include "core/Helper.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <semaphore.h>
#include <string>
#include <unistd.h>

TEST(Event, AutoResetCountsEachSetting) {
    Event event(false, false);
    ASSERT_TRUE(event.isValid());
    EXPECT_NE(event.TryWait(), 0);
    for (int i = 0; i < 3; ++i)
        event.Set();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(event.TryWait(), 0);
    EXPECT_NE(event.TryWait(), 0);

    Event initiallySet(false, true);
    EXPECT_EQ(initiallySet.TryWait(), 0);
    EXPECT_NE(initiallySet.TryWait(), 0);
}

TEST(Event, ManualResetStaysSetForEveryWaiter) {
    Event event(true, false);
    auto waiter = std::async(std::launch::async, [&] { return event.Wait(); });
    event.Set();
    EXPECT_EQ(waiter.get(), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(event.TryWait(), 0);
    EXPECT_EQ(event.Wait(), 0);
    EXPECT_EQ(event.TryWait(), 0);
}

TEST(Event, LeftoverSemaphoreOfTheSameNameIsReplaced) {
    // Learn the counter, then plant a semaphore with a count under the name
    // that the next event will take, as a crashed process would leave it.
    const std::string taken = getGUID();
    const std::string suffix = std::to_string(getuid()) + std::to_string(getpid());
    const std::string current = taken.substr(5, taken.size() - 5 - suffix.size());
    const std::string next = "/event" + std::to_string(std::stoi(current) + 1) + suffix;
    sem_t* leftover = sem_open(next.c_str(), O_CREAT, 0700, 5);
    ASSERT_NE(leftover, SEM_FAILED);
    sem_close(leftover);

    Event event(true, false);
    ASSERT_TRUE(event.isValid());
    EXPECT_NE(event.TryWait(), 0) << "the old count must not make a new event look set";
    // The name is gone while the event works, so a killed process leaves none.
    EXPECT_EQ(sem_open(next.c_str(), 0), SEM_FAILED);
    event.Set();
    EXPECT_EQ(event.TryWait(), 0);
}
