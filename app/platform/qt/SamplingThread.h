// The reader's timer on a thread of its own: a busy main thread (a page push,
// the browser opening) can no longer make it miss a frame of the strip.
#pragma once

#include "platform/RunLoop.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kv {

class SamplingThread {
public:
    // Runs `sample` every interval on a steady clock. A tick that comes late
    // is made up at once rather than skipped, so the samples stay one
    // interval apart on average; only after a stall of over a second (a
    // suspended machine) does the clock start afresh. The work each sample
    // returns runs on the main thread (the thread that creates this object),
    // in order.
    SamplingThread(std::chrono::duration<double> interval, Sampler sample);
    ~SamplingThread();
    SamplingThread(const SamplingThread&) = delete;
    SamplingThread& operator=(const SamplingThread&) = delete;

private:
    void run(const std::stop_token& stop);
    void hand(SampleWork work);
    void deliver();

    const Clock::duration interval_;
    const Sampler sample_;
    // The receiver of the deliveries on the main thread; deliveries still
    // queued when it goes are dropped with it.
    std::unique_ptr<QObject> mainContext_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<SampleWork> pending_;
    bool deliveryPosted_ = false;
    std::jthread thread_;
};

} // namespace kv
