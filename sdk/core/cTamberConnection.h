// The link to the host: a UNIX-domain stream socket that the writer thread
// alone writes to, and whose inbound records are read on the event loop of
// the thread that called Init. When the host goes away the link is lost; the
// writer may then connect it again, to a host that came back.
#ifndef HALV_C_TAMBER_CONNECTION_H
#define HALV_C_TAMBER_CONNECTION_H

#include "core/EventLoop.h"
#include "core/HostSocket.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/uio.h>

class cTamberConnection {
public:
    // One send hands the socket at most this many bytes, so that progress
    // shows (bytesSent) even while a host reads a large frame slowly.
    static constexpr unsigned long kSendPiece = 262144;

    // Reads, later, on the event loop of the calling thread (the one that
    // calls Init). `hostLost` is called on that loop when the reader finds
    // the host gone.
    explicit cTamberConnection(std::function<void()> hostLost = nullptr);
    virtual ~cTamberConnection();
    cTamberConnection(const cTamberConnection&) = delete;
    cTamberConnection& operator=(const cTamberConnection&) = delete;

    // The host's socket: <user data folder>/Halvorin/TAMBER_GAMEAPP_SDK, or
    // empty when the folder is unknown.
    static std::string socketPath();

    // Connects to the host's socket. On a failed connect prints "Connect
    // Error" and the reason on standard error.
    bool connectToPipe();
    // Reads inbound records on the loop, for this socket and every later one.
    bool startReading();

    // Sends every byte, blocking; false when the host is gone (the link is
    // then lost). Never raises SIGPIPE.
    bool write(const void* bytes, unsigned long count);
    // The same for bytes in several pieces, sent in order as one stream.
    bool writePieces(const iovec* pieces, std::size_t count);
    // Sends of the pieces, in order, only what the socket takes without
    // blocking; returns how many bytes that was.
    unsigned long writeWhatFits(const iovec* pieces, std::size_t count);

    // The host went away: a write failed, or the reader saw the end.
    bool isLost() const { return link_->lost.load(); }
    // Closes the socket of a lost link.
    void closeLost();
    // For the writer: connects again, silently; false when nobody listens or
    // the writes were aborted. On success the link is no longer lost.
    bool reconnect();
    // While the link is lost, runs `wake` on the reading loop every
    // `interval`, so that an idle writer tries the host again.
    void wakeWhileLost(std::chrono::milliseconds interval, std::function<void()> wake);
    void stopWaking();

    // Stops reading and shuts the socket down both ways.
    void shutdownAndCleanUp();
    // Makes a blocked write fail at once (the host stopped reading) and
    // refuses any further reconnection; safe while the writer is in a write.
    void abortWrites();
    // Bytes handed to the socket so far; lets ShutDown tell a slow host from
    // one that stopped reading.
    uint64_t bytesSent() const { return bytesSent_.load(std::memory_order_relaxed); }

private:
    // What the reader shares with the connection; it may outlive it.
    struct Link {
        explicit Link(std::function<void()> notify) : notifyLost(std::move(notify)) {}
        std::atomic<bool> lost{false};
        const std::function<void()> notifyLost;
    };

    bool adopt(std::shared_ptr<HostSocket> socket);
    // Under the socket mutex: reads the current socket on the loop.
    void watch();
    void markLost() { link_->lost.store(true); }
    // Sends the pieces in order, all of them or, without `wait`, what fits
    // now; returns the bytes sent and sets `failed` when the socket broke.
    unsigned long sendPieces(const iovec* pieces, std::size_t count, bool wait, bool& failed);

    std::shared_ptr<Link> link_;
    const std::unique_ptr<EventLoop> loop_;
    // The socket is replaced only by the writer thread, which alone sends on
    // it; the mutex orders the replacement against reading being started and
    // against abortWrites on other threads.
    std::mutex socketMutex_;
    std::shared_ptr<HostSocket> socket_;
    bool reading_ = false;
    bool aborted_ = false;
    std::atomic<uint64_t> bytesSent_{0};
};

#endif
