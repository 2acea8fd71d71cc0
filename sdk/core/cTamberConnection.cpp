#include "cTamberConnection.h"

#include "Helper.h"
#include "cSDKServer.h"
#include "cSingleton.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <glib-unix.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

uint32_t readLittleEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

gboolean onSocketReadable(gint, GIOCondition, gpointer data) {
    auto* connection = static_cast<cTamberConnection*>(data);
    const bool goOn = connection->read();
    // ShutDown called from the applet's callback left the object to us.
    if (connection->isRetired()) {
        delete connection;
        return G_SOURCE_REMOVE;
    }
    return goOn ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

} // namespace

cTamberConnection::cTamberConnection() : receiveBuffer_(new unsigned char[kReceiveBufferSize]) {}

cTamberConnection::~cTamberConnection() {
    stopReading();
    if (socket_ >= 0)
        close(socket_);
}

std::string cTamberConnection::socketPath() {
    CFStringRef folder = getUserDirectory();
    if (folder == nullptr)
        return {};
    std::string path(StringToUTF8(folder, nullptr, 0), '\0');
    StringToUTF8(folder, reinterpret_cast<unsigned char*>(path.data()), path.size());
    CFRelease(folder);
    return path.empty() ? path : path + "/Halvorin/TAMBER_GAMEAPP_SDK";
}

bool cTamberConnection::connectToPipe() {
    const std::string path = socketPath();
    if (path.empty())
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The path and its NUL must fit the address; a longer one is never cut,
    // since a cut path could name another socket.
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        std::perror("Connect Error");
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0 || connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("Connect Error");
        if (socket_ >= 0)
            close(socket_);
        socket_ = -1;
        return false;
    }
    return true;
}

bool cTamberConnection::startReading() {
    if (socket_ < 0 || readSource_ != nullptr)
        return false;
    readContext_ = g_main_context_ref_thread_default();
    readSource_ = g_unix_fd_source_new(socket_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(readSource_, G_SOURCE_FUNC(onSocketReadable), this, nullptr);
    g_source_attach(readSource_, readContext_);
    return true;
}

void cTamberConnection::stopReading() {
    if (readSource_ != nullptr) {
        g_source_destroy(readSource_);
        g_source_unref(readSource_);
        readSource_ = nullptr;
    }
    if (readContext_ != nullptr) {
        g_main_context_unref(readContext_);
        readContext_ = nullptr;
    }
}

bool cTamberConnection::read() {
    for (;;) {
        if (readPosition_ != 0) {
            const int64_t pending = fill_ - readPosition_;
            std::memmove(receiveBuffer_.get(), receiveBuffer_.get() + readPosition_,
                         static_cast<size_t>(pending));
            fill_ = pending;
            readPosition_ = 0;
        }
        const ssize_t received = recv(socket_, receiveBuffer_.get() + fill_,
                                      static_cast<size_t>(kReceiveBufferSize - fill_), MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            // Drained for now, or broken: either way the buffer stays as it is.
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (received == 0)
            return false; // the host closed its end; no more events
        fill_ += received;
        parsePending();
        if (retired_)
            return false;
    }
}

void cTamberConnection::parsePending() {
    while (fill_ - readPosition_ >= kRecordHeaderSize) {
        const unsigned char* record = receiveBuffer_.get() + readPosition_;
        const int64_t pending = fill_ - readPosition_;
        const uint32_t type = readLittleEndian32(record);
        if (type == 1) {
            if (pending < kEventRecordSize)
                return;
            cSDKServer& server = cSingleton<cSDKServer>::GetInstance();
            if (server.wasInitializedWithCallback()) {
                const halvKeshCallback callback = server.getCallbackFunc();
                dispatching_ = true;
                callback(static_cast<int>(readLittleEndian32(record + 8)),
                         static_cast<int>(readLittleEndian32(record + 12)),
                         const_cast<unsigned char*>(record + 16), server.getCallbackContext());
            }
            dispatching_ = false;
            if (retired_)
                return;
            readPosition_ += kEventRecordSize;
        } else {
            // Type 0 is an idle record; any other type is skipped as a record
            // of the smallest size, so an unknown record never stalls reading.
            if (pending < kIdleRecordSize)
                return;
            readPosition_ += kIdleRecordSize;
        }
    }
}

bool cTamberConnection::write(const void* bytes, unsigned long count) {
    if (socket_ < 0)
        return false;
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        // Pieces of at most 64 KiB, so that progress shows even while a host
        // reads a large frame slowly.
        const ssize_t sent = send(socket_, next, count < kSendPiece ? count : kSendPiece, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += sent;
        count -= static_cast<unsigned long>(sent);
        bytesSent_.fetch_add(static_cast<uint64_t>(sent), std::memory_order_relaxed);
    }
    return true;
}

bool cTamberConnection::writePieces(const iovec* pieces, std::size_t count) {
    bool failed = false;
    sendPieces(pieces, count, true, failed);
    return !failed;
}

unsigned long cTamberConnection::writeWhatFits(const iovec* pieces, std::size_t count) {
    bool failed = false;
    return sendPieces(pieces, count, false, failed);
}

unsigned long cTamberConnection::sendPieces(const iovec* pieces, std::size_t count, bool wait, bool& failed) {
    failed = socket_ < 0;
    if (failed)
        return 0;
    // A window of at most kSendPiece bytes over the pieces, moved on by what
    // each call sent, so that progress shows as with single writes.
    constexpr std::size_t kWindowPieces = 64;
    const int flags = MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT);
    unsigned long total = 0;
    std::size_t index = 0;
    std::size_t offset = 0; // into pieces[index]
    while (index < count) {
        iovec window[kWindowPieces];
        std::size_t used = 0;
        unsigned long bytes = 0;
        for (std::size_t i = index; i < count && used < kWindowPieces && bytes < kSendPiece; ++i) {
            const std::size_t skip = i == index ? offset : 0;
            const std::size_t size = std::min<std::size_t>(pieces[i].iov_len - skip, kSendPiece - bytes);
            if (size == 0)
                continue;
            window[used++] = iovec{static_cast<unsigned char*>(pieces[i].iov_base) + skip, size};
            bytes += size;
        }
        if (used == 0)
            break;
        msghdr message{};
        message.msg_iov = window;
        message.msg_iovlen = used;
        const ssize_t sent = sendmsg(socket_, &message, flags);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            failed = wait || (errno != EAGAIN && errno != EWOULDBLOCK);
            break;
        }
        bytesSent_.fetch_add(static_cast<uint64_t>(sent), std::memory_order_relaxed);
        total += static_cast<unsigned long>(sent);
        // Move the window on past what went out.
        auto left = static_cast<std::size_t>(sent);
        while (index < count && left >= pieces[index].iov_len - offset) {
            left -= pieces[index].iov_len - offset;
            offset = 0;
            ++index;
        }
        offset += left;
    }
    return total;
}

void cTamberConnection::shutdownAndCleanUp() {
    stopReading();
    if (socket_ >= 0)
        shutdown(socket_, SHUT_RDWR);
}

void cTamberConnection::abortWrites() {
    if (socket_ >= 0)
        shutdown(socket_, SHUT_RDWR);
}
