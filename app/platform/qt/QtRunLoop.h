// The main thread's run loop on Qt: repeating QTimers, queued calls for posted
// work, and a nested event loop that runs timers but holds back user input.
#pragma once

#include "platform/RunLoop.h"
#include "platform/qt/SamplingThread.h"

#include <QObject>

#include <map>
#include <memory>

class QEventLoop;
class QTimer;

namespace kv {

class QtRunLoop : public RunLoop {
public:
    QtRunLoop();
    ~QtRunLoop() override;

    Clock::time_point now() const override { return Clock::now(); }
    WallClock::time_point wallClockNow() const override { return WallClock::now(); }
    void runFor(std::chrono::duration<double> duration) override;
    void postToMain(std::function<void()> work) override;
    TimerId scheduleRepeating(std::chrono::duration<double> interval, std::function<void()> action) override;
    bool quitRequested() const override { return quitRequested_; }

    // From now on runFor returns at once, and a wait in progress ends.
    void requestQuit();
    // Samples on a thread of their own (SamplingThread).
    TimerId scheduleSampling(std::chrono::duration<double> interval, Sampler sample) override;
    // Ends every sampling thread; their work not yet delivered is dropped.
    // Called before the objects the samplers use are destroyed.
    void stopSampling();

private:
    // Owns the timers and is the context of posted work, so neither outlives the loop.
    std::unique_ptr<QObject> context_;
    std::map<TimerId, QTimer*> timers_;
    std::map<TimerId, std::unique_ptr<SamplingThread>> samplers_;
    TimerId nextId_ = 1;
    QEventLoop* waiting_ = nullptr; // the loop of a runFor in progress
    bool quitRequested_ = false;
};

} // namespace kv
