// The event loop of the thread that called Init. The host's records are read
// there, so the applet's callback runs there; while the host is away, the loop
// also wakes the writer now and then to try it again. Every operation may be
// called from any thread.
#ifndef HALV_EVENT_LOOP_H
#define HALV_EVENT_LOOP_H

#include "core/HostSocket.h"
#include "core/InboundRecords.h"

#include <chrono>
#include <functional>
#include <memory>

class EventLoop {
public:
    // The loop of the calling thread.
    static std::unique_ptr<EventLoop> ofCallingThread();
    virtual ~EventLoop() = default;

    // Reads `socket` on the loop and delivers its records, until the stream
    // ends or a read fails (then `ended` runs on the loop) or until unwatch.
    // Replaces an earlier watch. A watch ended while it delivers a record
    // delivers nothing more.
    virtual void watch(std::shared_ptr<HostSocket> socket, InboundRecords::Deliver deliver,
                       std::function<void()> ended) = 0;
    virtual void unwatch() = 0;

    // Runs `tick` on the loop every `interval` until stopTicking; replaces an
    // earlier one.
    virtual void startTicking(std::chrono::milliseconds interval, std::function<void()> tick) = 0;
    virtual void stopTicking() = 0;
};

#endif
