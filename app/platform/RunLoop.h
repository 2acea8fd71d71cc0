// Seam: the main thread's run loop and clock. Everything the core does runs
// on the main thread; work and timers are delivered through this loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace kv {

// Every deadline and interval is measured on a steady clock, which a change of
// the system's date does not move.
using Clock = std::chrono::steady_clock;
using WallClock = std::chrono::system_clock;
using TimerId = std::int64_t;
// Work a sample hands back for the main thread; empty: nothing to do.
using SampleWork = std::function<void()>;
using Sampler = std::function<SampleWork()>;

class RunLoop {
public:
    virtual ~RunLoop() = default;
    virtual Clock::time_point now() const = 0;
    // The date and time, only for texts that show one.
    virtual WallClock::time_point wallClockNow() const = 0;
    // Runs the loop (timers and posted work, but no user input) for a while.
    virtual void runFor(std::chrono::duration<double> duration) = 0;
    // Runs the work on the main thread after the current operation.
    virtual void postToMain(std::function<void()> work) = 0;
    // A timer that fires every interval until the process ends.
    virtual TimerId scheduleRepeating(std::chrono::duration<double> interval,
                                      std::function<void()> action) = 0;
    // True once the application is quitting: long waits (a calibration's
    // search) end at their next step.
    virtual bool quitRequested() const { return false; }
    // A repeating timer whose `sample` may run off the main thread, on a
    // steady clock that catches up on late ticks; the work each sample
    // returns runs on the main thread, in the order the samples were taken,
    // however long the main thread was busy. `sample` must touch only what
    // is safe to share. By default both run on the main thread's timer.
    virtual TimerId scheduleSampling(std::chrono::duration<double> interval, Sampler sample) {
        return scheduleRepeating(interval, [sample = std::move(sample)] {
            if (const SampleWork work = sample())
                work();
        });
    }
};

} // namespace kv
