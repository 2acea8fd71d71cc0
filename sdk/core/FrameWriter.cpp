#include "core/FrameWriter.h"

#include "core/FrameFormat.h"

#include <cstdio>

FrameWriter::FrameWriter(CircularBuffer& queue, cTamberConnection& connection, Event& stop,
                         const std::vector<unsigned char>& registration)
    : queue_(queue), connection_(connection), stop_(stop), registration_(registration),
      frame_(frame::kLargestFrame), lastAttempt_(Clock::now() - kReconnectInterval) {
    pieces_.reserve(kMostPiecesPerSend);
}

void FrameWriter::noteHostLost() {
    if (lossReported_)
        return;
    lossReported_ = true;
    connection_.closeLost();
    connection_.wakeWhileLost(kIdleReconnectInterval, [queue = &queue_] { queue->wakeReaders(); });
    std::fputs("HalvorinKeshControl: lost the host; trying to reconnect\n", stderr);
}

bool FrameWriter::tryReconnect() {
    const Clock::time_point now = Clock::now();
    if (now - lastAttempt_ < kReconnectInterval)
        return false;
    lastAttempt_ = now;
    if (!connection_.reconnect() || !connection_.write(registration_.data(), registration_.size()))
        return false;
    connection_.stopWaking();
    lossReported_ = false;
    std::fputs("HalvorinKeshControl: reconnected to the host\n", stderr);
    return true;
}

void FrameWriter::run() {
    // The continuation frames of a message whose start never reached the
    // current host go nowhere either.
    bool skipMessage = false;
    for (;;) {
        if (connection_.isLost()) {
            // ShutDown drops what can no longer be delivered.
            if (stop_.TryWait() == 0)
                return;
            noteHostLost();
        }
        // Frames already complete go out before the stop event is looked at.
        const unsigned long stored = queue_.size();
        if (stored < frame::kLengthWord) {
            if (connection_.isLost() && tryReconnect())
                skipMessage = true;
            if (!queue_.waitForData(frame::kLengthWord, &stop_))
                return;
            continue;
        }
        uint64_t word = 0;
        queue_.copyOut(0, &word, frame::kLengthWord);
        const bool continuation = (word & frame::kContinuation) != 0;
        const uint64_t length = word & ~frame::kContinuation;
        if (length > frame::kLargestFrame) {
            // Only a broken producer could queue this; resynchronising is
            // impossible, so drop what is queued rather than send garbage.
            queue_.clear();
            continue;
        }
        if (stored - frame::kLengthWord < length) {
            // A frame goes out whole or not at all: one cut short by the stop
            // event is dropped.
            if (!queue_.waitForData(frame::kLengthWord + length, &stop_))
                return;
            continue;
        }

        if (!continuation) {
            if (connection_.isLost())
                tryReconnect();
            skipMessage = connection_.isLost();
        }
        if (skipMessage)
            queue_.consume(frame::kLengthWord + length);
        else if (length > kLargestBatchedFrame)
            skipMessage = !sendLargeFrame(length);
        else
            skipMessage = !sendSmallFrames(stored);
    }
}

bool FrameWriter::sendLargeFrame(unsigned long length) {
    // What the socket takes at once goes straight from the queue; the rest is
    // copied out, so that the queue is free again for the senders while the
    // host reads it.
    CircularBuffer::Piece stretch[2];
    const int count = queue_.peek(frame::kLengthWord, length, stretch);
    iovec parts[2];
    for (int i = 0; i < count; ++i)
        parts[i] = iovec{const_cast<unsigned char*>(stretch[i].data), stretch[i].size};
    const unsigned long sent = connection_.writeWhatFits(parts, static_cast<std::size_t>(count));
    const unsigned long rest = length - sent;
    queue_.copyOut(frame::kLengthWord + sent, frame_.data(), rest);
    queue_.consume(frame::kLengthWord + length);
    return rest == 0 || connection_.write(frame_.data(), rest);
}

bool FrameWriter::sendSmallFrames(unsigned long stored) {
    // This frame and the complete ones behind it in one gather write: the
    // host reads the same bytes in the same order, with one system call for
    // many.
    pieces_.clear();
    unsigned long taken = 0;
    unsigned long batch = 0;
    while (stored - taken >= frame::kLengthWord && pieces_.size() + 2 <= kMostPiecesPerSend) {
        uint64_t word = 0;
        queue_.copyOut(taken, &word, frame::kLengthWord);
        const uint64_t length = word & ~frame::kContinuation;
        if (length > kLargestBatchedFrame || stored - taken - frame::kLengthWord < length ||
            batch + length > kBatchBytes)
            break;
        CircularBuffer::Piece stretch[2];
        const int count = queue_.peek(taken + frame::kLengthWord, length, stretch);
        for (int i = 0; i < count; ++i)
            pieces_.push_back(iovec{const_cast<unsigned char*>(stretch[i].data), stretch[i].size});
        taken += frame::kLengthWord + length;
        batch += length;
    }
    // Frames of length 0 only open the stream.
    const bool written = pieces_.empty() ? connection_.write(nullptr, 0)
                                         : connection_.writePieces(pieces_.data(), pieces_.size());
    queue_.consume(taken);
    return written;
}
