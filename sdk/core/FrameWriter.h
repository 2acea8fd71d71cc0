// The writer thread's work: it takes frames from the ring buffer and writes
// them to the host, whole and in order, until the stop event ends it. While
// the host is away it drops what cannot be delivered and tries to connect
// again, sending the registration first.
#ifndef HALV_FRAME_WRITER_H
#define HALV_FRAME_WRITER_H

#include "core/CircularBuffer.h"
#include "core/Event.h"
#include "core/cTamberConnection.h"

#include <chrono>
#include <sys/uio.h>
#include <vector>

class FrameWriter {
public:
    // Reconnection attempts while the host is away: at most one a second,
    // and one every five seconds while the applet sends nothing.
    static constexpr std::chrono::seconds kReconnectInterval{1};
    static constexpr std::chrono::seconds kIdleReconnectInterval{5};

    FrameWriter(CircularBuffer& queue, cTamberConnection& connection, Event& stop,
                const std::vector<unsigned char>& registration);

    // Returns once the stop event is set and every complete frame went out,
    // or at once when the host is gone (what is left is the caller's).
    void run();

private:
    using Clock = std::chrono::steady_clock;

    // Small complete frames go to the socket together, in one gather write
    // of at most this many bytes and pieces, straight from the queue.
    static constexpr unsigned long kLargestBatchedFrame = 65536;
    static constexpr unsigned long kBatchBytes = 262144;
    static constexpr unsigned long kMostPiecesPerSend = 256;

    // Sends the frame of `length` bytes at the head of the queue; false when
    // the host is gone.
    bool sendLargeFrame(unsigned long length);
    // Sends the complete small frames at the head of the queue, of the
    // `stored` bytes; false when the host is gone.
    bool sendSmallFrames(unsigned long stored);
    // Reports a lost host once and has the loop wake the writer while idle.
    void noteHostLost();
    // Connects again when an attempt is due and sends the registration;
    // true when the host is back.
    bool tryReconnect();

    CircularBuffer& queue_;
    cTamberConnection& connection_;
    Event& stop_;
    const std::vector<unsigned char>& registration_;
    // The rest of a large frame that the socket did not take at once.
    std::vector<unsigned char> frame_;
    std::vector<iovec> pieces_;
    bool lossReported_ = false;
    Clock::time_point lastAttempt_;
};

#endif
