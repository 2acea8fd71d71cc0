#include "core/cTamberConnection.h"

#include "core/Helper.h"
#include "core/cSDKServer.h"
#include "core/cSingleton.h"

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>

namespace {

// Hands an event record to the applet's callback, if it gave one.
bool deliverToApplet(int eventType, int eventValue, unsigned char* eventArg) {
    cSDKServer& server = cSingleton<cSDKServer>::GetInstance();
    if (server.wasInitializedWithCallback())
        server.getCallbackFunc()(eventType, eventValue, eventArg, server.getCallbackContext());
    return true;
}

} // namespace

cTamberConnection::cTamberConnection(std::function<void()> hostLost)
    : link_(std::make_shared<Link>(std::move(hostLost))), loop_(EventLoop::ofCallingThread()) {}

// The loop ends its watch and ticks; the reader lets go of its socket once a
// delivery in progress has returned.
cTamberConnection::~cTamberConnection() = default;

std::string cTamberConnection::socketPath() {
    CFStringRef folder = getUserDirectory();
    if (folder == nullptr)
        return {};
    std::string path(StringToUTF8(folder, nullptr, 0), '\0');
    StringToUTF8(folder, reinterpret_cast<unsigned char*>(path.data()), path.size());
    CFRelease(folder);
    return path.empty() ? path : path + "/Halvorin/TAMBER_GAMEAPP_SDK";
}

bool cTamberConnection::adopt(std::shared_ptr<HostSocket> socket) {
    if (!socket)
        return false;
    std::lock_guard lock(socketMutex_);
    if (aborted_)
        return false;
    socket_ = std::move(socket);
    link_->lost.store(false);
    if (reading_)
        watch();
    return true;
}

bool cTamberConnection::connectToPipe() {
    const std::string path = socketPath();
    if (path.empty())
        return false;
    return adopt(HostSocket::connect(path, HostSocket::Report::connectError));
}

bool cTamberConnection::startReading() {
    std::lock_guard lock(socketMutex_);
    if (reading_ || !socket_)
        return false;
    reading_ = true;
    watch();
    return true;
}

void cTamberConnection::watch() {
    loop_->watch(socket_, deliverToApplet, [link = link_] {
        link->lost.store(true);
        if (link->notifyLost)
            link->notifyLost();
    });
}

bool cTamberConnection::reconnect() {
    const std::string path = socketPath();
    return !path.empty() && adopt(HostSocket::connect(path, HostSocket::Report::silent));
}

void cTamberConnection::closeLost() {
    std::lock_guard lock(socketMutex_);
    loop_->unwatch();
    socket_.reset();
}

void cTamberConnection::wakeWhileLost(std::chrono::milliseconds interval, std::function<void()> wake) {
    loop_->startTicking(interval, std::move(wake));
}

void cTamberConnection::stopWaking() {
    loop_->stopTicking();
}

bool cTamberConnection::write(const void* bytes, unsigned long count) {
    const iovec piece{const_cast<void*>(bytes), count};
    return writePieces(&piece, 1);
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
    // Only the writer thread replaces the socket, and this is the writer.
    const HostSocket* socket = socket_.get();
    failed = socket == nullptr || isLost();
    if (failed)
        return 0;
    // A window of at most kSendPiece bytes over the pieces, moved on by what
    // each call sent.
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
        const ssize_t sent = sendmsg(socket->fd(), &message, flags);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            failed = wait || (errno != EAGAIN && errno != EWOULDBLOCK);
            if (failed)
                markLost();
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
    loop_->unwatch();
    loop_->stopTicking();
    std::lock_guard lock(socketMutex_);
    if (socket_)
        socket_->shutDown();
}

void cTamberConnection::abortWrites() {
    std::lock_guard lock(socketMutex_);
    aborted_ = true;
    if (socket_)
        socket_->shutDown();
}
