#include "core/Event.h"
#include "core/Helper.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

TEST(Event, ALeftoverSemaphoreOfTheSameNameNeverMakesANewEventLookSet) {
    // Plant a semaphore with a count under the name the next event takes, as
    // a crashed process with the same pid would leave it.
    const std::string taken = getGUID(), suffix = std::to_string(getuid()) + std::to_string(getpid());
    const int counter = std::stoi(taken.substr(5, taken.size() - 5 - suffix.size()));
    const std::string next = "/event" + std::to_string(counter + 1) + suffix;
    sem_close(sem_open(next.c_str(), O_CREAT, 0700, 5));
    Event event(true, false);
    EXPECT_NE(event.TryWait(), 0);
    EXPECT_EQ(sem_open(next.c_str(), 0), SEM_FAILED) << "the name is gone, so a killed process leaves none";
    event.Set();
    EXPECT_EQ(event.TryWait(), 0);
    EXPECT_EQ(event.TryWait(), 0) << "a manual-reset event stays set";
}
