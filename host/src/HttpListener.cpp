#include "HttpListener.h"

#include "AsciiText.h"
#include "Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kesh::host {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWriteStallMs = std::chrono::milliseconds(HttpLimits::kWriteStall).count();

const char* reasonFor(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Service Unavailable";
    }
}

// How long a refused request's remaining bytes are read and dropped, so
// that closing does not reset the connection before the answer is read.
constexpr auto kDrainTime = std::chrono::seconds(2);

// Answers a request that never reaches a worker, as far as the socket takes it.
void sendRefusal(int fd, int status) {
    const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + reasonFor(status) +
                               "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    [[maybe_unused]] const auto sent = ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void refuseAndClose(int fd, int status) {
    sendRefusal(fd, status);
    ::close(fd);
}

// Numeric address and port of a socket's end; IPv4 in IPv6 written as IPv4.
void describe(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            ::inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
        } else {
            ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        }
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

// One request, read whole before it got here, and its connection for the answer.
class RequestStream final : public httplib::Stream {
public:
    RequestStream(int fd, std::string request) : fd_(fd), request_(std::move(request)) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            describe(address, remote_, remotePort_);
        }
        length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            describe(address, local_, localPort_);
        }
    }

    using httplib::Stream::write;

    bool is_readable() const override { return read_ < request_.size(); }

    // False once the client has gone, or cannot take more for a while.
    bool is_writable() const override {
        pollfd p{fd_, POLLOUT | POLLRDHUP, 0};
        return ::poll(&p, 1, kWriteStallMs) > 0 && (p.revents & (POLLERR | POLLHUP | POLLRDHUP)) == 0;
    }

    ssize_t read(char* ptr, size_t size) override {
        const std::size_t n = std::min(size, request_.size() - read_);
        std::memcpy(ptr, request_.data() + read_, n);
        read_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::send(fd_, ptr + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            pollfd p{fd_, POLLOUT, 0};
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || ::poll(&p, 1, kWriteStallMs) <= 0) {
                return -1;
            }
        }
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = remote_;
        port = remotePort_;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = local_;
        port = localPort_;
    }
    socket_t socket() const override { return fd_; }
    const std::string& remote() const { return remote_; }

private:
    int fd_;
    std::string request_;
    std::size_t read_ = 0;
    std::string remote_;
    int remotePort_ = 0;
    std::string local_;
    int localPort_ = 0;
};

} // namespace

RequestCheck checkRequest(std::string_view bytes) {
    RequestCheck check;
    const std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos || end + 4 > HttpLimits::kMaxHeaderBytes) {
        check.refusal = bytes.size() > HttpLimits::kMaxHeaderBytes ? 431 : 0;
        return check;
    }
    check.headerEnd = end + 4;
    std::size_t lines = 0;
    std::string length;
    for (std::size_t pos = bytes.find("\r\n"); pos < end; pos = bytes.find("\r\n", pos + 2)) {
        if (++lines > HttpLimits::kMaxHeaderLines) {
            check.refusal = 431;
            return check;
        }
        const std::string_view line = bytes.substr(pos + 2, bytes.find("\r\n", pos + 2) - pos - 2);
        const auto colon = line.find(':');
        const std::string name = asciiLower(trimBlanks(line.substr(0, colon)));
        const std::string value =
            colon == std::string_view::npos ? "" : asciiLower(trimBlanks(line.substr(colon + 1)));
        if (name == "transfer-encoding") {
            check.refusal = 411; // a body must come with its length
            return check;
        }
        if (name == "content-length") {
            if (!length.empty() && length != value) {
                check.refusal = 400;
                return check;
            }
            length = value;
        }
        check.expectsContinue = check.expectsContinue || (name == "expect" && value == "100-continue");
    }
    std::size_t body = 0;
    if (!length.empty()) {
        const auto [last, ec] = std::from_chars(length.data(), length.data() + length.size(), body);
        if (ec != std::errc() || last != length.data() + length.size()) {
            check.refusal = ec == std::errc::result_out_of_range ? 413 : 400;
            return check;
        }
    }
    if (body > HttpLimits::kMaxBodyBytes) {
        check.refusal = 413;
        return check;
    }
    check.total = check.headerEnd + body;
    return check;
}

HttpListener::~HttpListener() {
    stop();
}

bool HttpListener::bind(const std::string& host, int port, std::string& problem) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        error != 0) {
        problem = "cannot listen for HTTP on " + where + ": " + ::gai_strerror(error);
        return false;
    }
    listenFd_ = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    const bool listening =
        listenFd_ >= 0 && ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        ::bind(listenFd_, found->ai_addr, found->ai_addrlen) == 0 && ::listen(listenFd_, SOMAXCONN) == 0;
    ::freeaddrinfo(found);
    if (!listening) {
        problem =
            "cannot listen for HTTP on " + where + ": " + std::strerror(errno) +
            (errno == EADDRINUSE ? " (port " + std::to_string(port) +
                                       " is taken, perhaps by another kesh-host: stop that one, or choose "
                                       "another port with --http HOST:PORT)"
                                 : "");
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    std::string ip;
    describe(address, ip, port_);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    return true;
}

void HttpListener::start() {
    for (std::size_t i = 0; i < HttpLimits::kWorkers; ++i) {
        workers_.emplace_back([this] { workerLoop(); });
    }
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

void HttpListener::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const int fd : answering_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    ready_.notify_all();
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    }
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    for (auto& worker : workers_) {
        worker.join();
    }
    workers_.clear();
    for (const auto& waiting : waiting_) {
        ::close(waiting.fd);
    }
    waiting_.clear();
    for (const auto& request : requests_) {
        ::close(request.first);
    }
    requests_.clear();
    for (int* fd : {&listenFd_, &wakeFd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void HttpListener::acceptLoop() {
    std::vector<pollfd> watched;
    while (true) {
        watched.assign({{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}});
        auto next = Clock::time_point::max();
        for (const auto& waiting : waiting_) {
            watched.push_back({waiting.fd, POLLIN, 0});
            next = std::min(next, waiting.deadline);
        }
        const int timeout =
            next == Clock::time_point::max()
                ? -1
                : static_cast<int>(std::max<std::int64_t>(
                      0, std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() +
                             1));
        if (::poll(watched.data(), watched.size(), timeout) < 0 && errno != EINTR) {
            logLine(std::string("HTTP accepting stopped: ") + std::strerror(errno));
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        const auto now = Clock::now();
        std::vector<Waiting> still;
        for (std::size_t i = 0; i < waiting_.size(); ++i) {
            Waiting& waiting = waiting_[i];
            bool done = watched[i + 2].revents != 0 && readMore(waiting);
            if (!done && now >= waiting.deadline) {
                if (waiting.draining) {
                    ::close(waiting.fd);
                    done = true;
                } else {
                    refuse(waiting, 408);
                }
            }
            if (!done) {
                still.push_back(std::move(waiting));
            }
        }
        waiting_.swap(still);
        if (watched[0].revents != 0) {
            acceptNew();
        }
    }
}

void HttpListener::acceptNew() {
    for (int round = 0; round < 64; ++round) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: the oldest unfinished request makes room.
                if (!waiting_.empty()) {
                    refuseAndClose(waiting_.front().fd, 503);
                    waiting_.erase(waiting_.begin());
                    continue;
                }
                pollfd wake{wakeFd_, POLLIN, 0};
                ::poll(&wake, 1, 100);
            }
            return;
        }
        if (waiting_.size() >= HttpLimits::kMaxWaiting) {
            refuseAndClose(waiting_.front().fd, 503);
            waiting_.erase(waiting_.begin());
        }
        waiting_.push_back({fd, std::string(), Clock::now() + HttpLimits::kRequestDeadline, false, false});
    }
}

void HttpListener::refuse(Waiting& waiting, int status) {
    sendRefusal(waiting.fd, status);
    ::shutdown(waiting.fd, SHUT_WR);
    waiting.draining = true;
    waiting.deadline = Clock::now() + kDrainTime;
    std::string().swap(waiting.bytes);
}

// Reads what has arrived; true when the connection has left the waiting list.
bool HttpListener::readMore(Waiting& waiting) {
    char buffer[16384];
    const ssize_t n = ::recv(waiting.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        ::close(waiting.fd);
        return true;
    }
    if (waiting.draining || n < 0) {
        return false;
    }
    waiting.bytes.append(buffer, static_cast<std::size_t>(n));
    const RequestCheck check = checkRequest(waiting.bytes);
    if (check.refusal != 0) {
        refuse(waiting, check.refusal);
        return false;
    }
    if (check.headerEnd == 0) {
        return false;
    }
    if (waiting.bytes.size() < check.total) {
        if (check.expectsContinue && !waiting.continued) {
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            [[maybe_unused]] const auto sent =
                ::send(waiting.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            waiting.continued = true;
        }
        return false;
    }
    waiting.bytes.resize(check.total);
    handOver(waiting.fd, std::move(waiting.bytes));
    return true;
}

void HttpListener::handOver(int fd, std::string request) {
    {
        const std::lock_guard lock(mutex_);
        if (requests_.size() >= HttpLimits::kMaxWaiting) {
            refuseAndClose(requests_.front().first, 503);
            requests_.pop_front();
        }
        requests_.emplace_back(fd, std::move(request));
    }
    ready_.notify_one();
}

void HttpListener::workerLoop() {
    while (true) {
        std::pair<int, std::string> request;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return stopping_ || !requests_.empty(); });
            if (stopping_) {
                return;
            }
            request = std::move(requests_.front());
            requests_.pop_front();
            answering_.insert(request.first);
        }
        answer(request.first, std::move(request.second));
        {
            const std::lock_guard lock(mutex_);
            answering_.erase(request.first);
        }
        ::close(request.first);
    }
}

void HttpListener::answer(int fd, std::string request) {
    RequestStream stream(fd, std::move(request));
    // Whatever goes wrong ends this request only.
    try {
        serve_(stream);
    } catch (const std::exception& e) {
        logLine("HTTP request from " + stream.remote() + " failed: " + e.what());
    } catch (...) {
        logLine("HTTP request from " + stream.remote() + " failed");
    }
}

} // namespace kesh::host
