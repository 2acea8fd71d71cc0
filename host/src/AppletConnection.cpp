#include "AppletConnection.h"

#include "FileNames.h"
#include "Log.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kesh::host {

namespace {
// A record begun must be finished within this, or the applet's reader is out of step.
constexpr auto kRecordFinishTimeout = std::chrono::seconds(2);
// What one read takes from the socket.
constexpr std::size_t kReadChunk = 64 * 1024;
} // namespace

AppletConnection::AppletConnection(int fd, std::uint64_t number, AppletStore& store, bool verbose)
    : fd_(fd), number_(number), store_(store), verbose_(verbose) {}

AppletConnection::~AppletConnection() {
    stop();
    join();
    ::close(fd_);
}

void AppletConnection::start() {
    thread_ = std::thread([this] { readLoop(); });
}

void AppletConnection::stop() {
    stopping_ = true;
    // Wakes the blocked read; the descriptor stays open until destruction.
    ::shutdown(fd_, SHUT_RDWR);
}

void AppletConnection::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string AppletConnection::appletKey() const {
    const std::lock_guard lock(keyMutex_);
    return key_;
}

void AppletConnection::log(const std::string& text) const {
    const std::string key = appletKey();
    logLine("applet #" + std::to_string(number_) + (key.empty() ? "" : " " + key) + ": " + text);
}

void AppletConnection::handle(HostMessage& message) {
    if (verbose_) {
        log(describeMessage(message));
    }
    const bool registration =
        message.type == MessageType::Registration || message.type == MessageType::RegistrationWithIcon;
    if (appletKey().empty()) {
        if (!registration) {
            log(std::string("ignored a ") + messageTypeName(message.type) +
                " message sent before registration");
            return;
        }
        // The key first: once the store lists the applet, records must reach this connection.
        {
            const std::lock_guard lock(keyMutex_);
            key_ = appletKeyFor(message.identifier);
        }
        store_.registerApplet(message);
        log("registered \"" + message.friendlyName + "\"");
        return;
    }
    std::string problem;
    if (!store_.apply(appletKey(), message, problem)) {
        log(std::string(messageTypeName(message.type)) + " message not applied: " + problem);
    }
}

void AppletConnection::readLoop() {
    // Whatever goes wrong with one applet's messages closes its connection only.
    try {
        readMessages();
    } catch (const std::exception& e) {
        log(std::string("closing the connection: ") + e.what());
    } catch (...) {
        log("closing the connection: unexpected failure");
    }
    ::shutdown(fd_, SHUT_RDWR);
    if (const std::string key = appletKey(); !key.empty()) {
        store_.disconnect(key);
    }
    finished_ = true;
}

void AppletConnection::readMessages() {
    const auto registrationDue = std::chrono::steady_clock::now() + kRegistrationDeadline;
    std::vector<std::uint8_t> buffer(kReadChunk);
    std::vector<HostMessage> messages;
    while (true) {
        if (appletKey().empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                registrationDue - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || (::poll(&p, 1, static_cast<int>(left.count())) == 0)) {
                log("closing the connection: no registration within " +
                    std::to_string(kRegistrationDeadline.count()) + " seconds");
                return;
            }
        }
        const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            if (!stopping_) {
                log(std::string("read failed: ") + std::strerror(errno));
            }
            return;
        }
        if (got == 0) {
            if (reader_.midMessage() && !stopping_) {
                log("connection closed in the middle of a message");
            } else if (verbose_) {
                log("connection closed");
            }
            return;
        }
        messages.clear();
        const bool ok = reader_.feed(std::span(buffer.data(), static_cast<std::size_t>(got)), messages);
        // Messages before a malformed one still count.
        for (auto& message : messages) {
            handle(message);
        }
        if (!ok) {
            log("closing the connection: " + reader_.error());
            return;
        }
    }
}

bool AppletConnection::sendRecord(std::span<const std::uint8_t> record) {
    const std::lock_guard lock(writeMutex_);
    if (finished_ || stopping_) {
        return false;
    }
    std::size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + kRecordFinishTimeout;
    while (sent < record.size()) {
        const ssize_t n =
            ::send(fd_, record.data() + sent, record.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (sent == 0) {
                return false; // nothing written: dropping the whole record keeps the stream in step
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLOUT, 0};
            if (left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) >= 0) {
                continue;
            }
        }
        log("closing the connection: an event record could not be written");
        ::shutdown(fd_, SHUT_RDWR);
        return false;
    }
    return true;
}

} // namespace kesh::host
