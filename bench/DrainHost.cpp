#include "DrainHost.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

DrainHost::DrainHost(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path || pipe(wakePipe_) != 0)
        return;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return;
    unlink(socketPath.c_str());
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 8) != 0) {
        close(listenFd_);
        listenFd_ = -1;
        return;
    }
    thread_ = std::thread([this] { run(); });
}

DrainHost::~DrainHost() {
    if (thread_.joinable()) {
        const char stop = 's';
        (void)!::write(wakePipe_[1], &stop, 1);
        thread_.join();
    }
    if (listenFd_ >= 0)
        close(listenFd_);
    for (int fd : wakePipe_)
        if (fd >= 0)
            close(fd);
}

uint64_t DrainHost::bytesReceived() {
    std::lock_guard lock(mutex_);
    return received_;
}

bool DrainHost::waitForBytes(uint64_t total, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, deadline, [&] { return received_ >= total; });
}

void DrainHost::run() {
    // Large enough that one read takes what a sender put into the socket.
    constexpr size_t kReadSize = 1 << 20;
    const std::unique_ptr<unsigned char[]> sink(new unsigned char[kReadSize]);
    std::vector<pollfd> watched{{wakePipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
    for (;;) {
        if (poll(watched.data(), watched.size(), -1) < 0)
            continue;
        if (watched[0].revents != 0)
            break;
        if (watched[1].revents & POLLIN) {
            const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0)
                watched.push_back({client, POLLIN, 0});
        }
        for (size_t i = 2; i < watched.size();) {
            if (watched[i].revents == 0) {
                ++i;
                continue;
            }
            const ssize_t got = recv(watched[i].fd, sink.get(), kReadSize, MSG_DONTWAIT);
            if (got > 0) {
                {
                    std::lock_guard lock(mutex_);
                    received_ += static_cast<uint64_t>(got);
                }
                arrived_.notify_all();
                ++i;
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                close(watched[i].fd);
                watched.erase(watched.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
    for (size_t i = 2; i < watched.size(); ++i)
        close(watched[i].fd);
}
