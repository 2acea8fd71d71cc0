// Hands display changes to the live event streams, one per open display,
// each with a queue of its own, and writes them as server-sent events.
#pragma once

#include "AppletStore.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kesh::host {

// One change as a server-sent event ("page", "edit" or "applets").
std::string formatEvent(const DisplayChange& change);

class EventHub {
public:
    // Each stream holds one of the display server's workers; the oldest is
    // closed to make room for a new one (its display reconnects).
    static constexpr std::size_t kMaxStreams = 16;
    // A display that falls this far behind is cut off; it reconnects and catches up.
    static constexpr std::size_t kMaxQueuedBytes = 8u * 1024 * 1024;

    struct Stream {
        std::string follow; // applet key, or "" for whichever applet shows a page
        std::deque<SharedChange> queue;
        std::size_t queuedBytes = 0;
        bool closed = false;
    };
    using StreamPtr = std::shared_ptr<Stream>;

    // A stream that starts with the changes `first`. Call it under the
    // store's lock, from the snapshot that `first` comes from, so that no
    // change falls between the two.
    StreamPtr open(const std::string& follow, const std::vector<SharedChange>& first);
    void close(const StreamPtr& stream);
    void publish(const SharedChange& change);

    // Waits up to `timeout` for changes and appends them to `out` as events;
    // false once the stream is closed.
    bool take(const StreamPtr& stream, std::chrono::milliseconds timeout, std::string& out);
    void closeAll();

private:
    void enqueue(Stream& stream, const SharedChange& change);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<StreamPtr> streams_; // oldest first
    bool closing_ = false;
};

} // namespace kesh::host
