// The link to the host: one UNIX-domain stream socket. Inbound event records
// are read on the GLib main context of the thread that starts reading; the
// writer thread alone writes.
#ifndef HALV_C_TAMBER_CONNECTION_H
#define HALV_C_TAMBER_CONNECTION_H

#include <atomic>
#include <cstdint>
#include <glib.h>
#include <memory>
#include <string>
#include <sys/uio.h>

class cTamberConnection {
public:
    static constexpr long kReceiveBufferSize = 301032;
    static constexpr long kRecordHeaderSize = 8;
    static constexpr long kIdleRecordSize = 16;
    static constexpr long kEventRecordSize = 272;
    static constexpr unsigned long kSendPiece = 262144;

    cTamberConnection();
    virtual ~cTamberConnection();
    cTamberConnection(const cTamberConnection&) = delete;
    cTamberConnection& operator=(const cTamberConnection&) = delete;

    // The host's socket: <user data folder>/Halvorin/TAMBER_GAMEAPP_SDK, or
    // empty when the folder is unknown.
    static std::string socketPath();

    // Connects to the host's socket. On a failed connect prints "Connect
    // Error" and the reason on standard error.
    bool connectToPipe();
    // Watches the socket for inbound records on the calling thread's default
    // GLib main context.
    bool startReading();
    // Sends every byte, blocking; false when the host is gone. Never raises
    // SIGPIPE.
    bool write(const void* bytes, unsigned long count);
    // The same for bytes in several pieces, sent in order as one stream.
    bool writePieces(const iovec* pieces, std::size_t count);
    // Sends of the pieces, in order, only what the socket takes without
    // blocking; returns how many bytes that was (0 also when the host is gone).
    unsigned long writeWhatFits(const iovec* pieces, std::size_t count);
    // Stops reading and shuts the socket down both ways. The descriptor is
    // closed by the destructor.
    void shutdownAndCleanUp();
    // Makes a blocked write fail at once (the host stopped reading); safe to
    // call from another thread while the writer is inside write.
    void abortWrites();
    // Bytes handed to the socket so far; lets ShutDown tell a slow host from
    // one that stopped reading.
    uint64_t bytesSent() const { return bytesSent_.load(std::memory_order_relaxed); }

    // Consumes inbound bytes and dispatches complete records (called by the
    // reader's source). Returns false when the socket reached its end or
    // failed, which ends the watch.
    bool read();

    // True while the applet's callback runs. A connection shut down from
    // inside its callback cannot be deleted there: ShutDown retires it
    // instead, and the reader deletes it once the callback has returned.
    bool isDispatching() const { return dispatching_; }
    void retire() { retired_ = true; }
    bool isRetired() const { return retired_; }

private:
    void parsePending();
    // Sends the pieces in order, all of them or, without `wait`, what fits
    // now; returns the bytes sent and sets `failed` when the socket broke.
    unsigned long sendPieces(const iovec* pieces, std::size_t count, bool wait, bool& failed);
    void stopReading();

    int socket_ = -1;
    GSource* readSource_ = nullptr;
    GMainContext* readContext_ = nullptr;
    std::unique_ptr<unsigned char[]> receiveBuffer_;
    int64_t readPosition_ = 0;
    int64_t fill_ = 0;
    std::atomic<uint64_t> bytesSent_{0};
    std::atomic<bool> dispatching_{false};
    std::atomic<bool> retired_{false};
};

#endif
