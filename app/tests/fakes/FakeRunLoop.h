// A run loop on a simulated clock: running it for a while advances the time
// and fires the timers that fall due, so no test ever waits for real.
#pragma once

#include "platform/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <utility>

namespace kv::fakes {

class FakeRunLoop : public RunLoop {
public:
    Clock::time_point currentTime{};

    Clock::time_point now() const override { return currentTime; }
    // 2026-01-31 18:05:00 UTC at the start, so texts with dates are reproducible.
    WallClock::time_point wallClockNow() const override {
        return WallClock::time_point{std::chrono::seconds{1769882700}} +
               std::chrono::duration_cast<WallClock::duration>(currentTime.time_since_epoch());
    }

    void runFor(std::chrono::duration<double> duration) override {
        const auto end = currentTime + std::chrono::duration_cast<Clock::duration>(duration);
        runPosted();
        while (auto* due = nextTimerDueBy(end)) {
            currentTime = due->nextFire;
            due->nextFire += due->interval;
            auto action = due->action; // a copy: the action may schedule timers
            action();
            runPosted();
        }
        // A nested run may already have gone past this run's end; time never goes back.
        currentTime = std::max(currentTime, end);
        runPosted();
    }

    void postToMain(std::function<void()> work) override { posted_.push_back(std::move(work)); }

    TimerId scheduleRepeating(std::chrono::duration<double> interval, std::function<void()> action) override {
        const auto step = std::chrono::duration_cast<Clock::duration>(interval);
        const TimerId id = nextId_++;
        timers_.emplace(id, Timer{step, currentTime + step, std::move(action)});
        return id;
    }

    // Runs the work posted so far, and whatever that work posts.
    void runPosted() {
        while (!posted_.empty()) {
            auto work = std::move(posted_.front());
            posted_.pop_front();
            work();
        }
    }

private:
    struct Timer {
        Clock::duration interval;
        Clock::time_point nextFire;
        std::function<void()> action;
    };

    Timer* nextTimerDueBy(Clock::time_point end) {
        Timer* earliest = nullptr;
        for (auto& [id, timer] : timers_)
            if (timer.nextFire <= end && (!earliest || timer.nextFire < earliest->nextFire))
                earliest = &timer;
        return earliest;
    }

    std::map<TimerId, Timer> timers_;
    std::deque<std::function<void()>> posted_;
    TimerId nextId_ = 1;
};

} // namespace kv::fakes
