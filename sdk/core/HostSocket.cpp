#include "core/HostSocket.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A host whose backlog is full would hold a connect for good; Init and the
// writer's reconnection attempts give up after this long.
constexpr timeval kConnectLimit{2, 0};

bool fail(HostSocket::Report report) {
    if (report == HostSocket::Report::connectError)
        std::perror("Connect Error");
    return false;
}

} // namespace

HostSocket::~HostSocket() {
    close(fd_);
}

void HostSocket::shutDown() {
    shutdown(fd_, SHUT_RDWR);
}

std::shared_ptr<HostSocket> HostSocket::connect(const std::string& path, Report report) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The path and its NUL must fit the address; a longer one is never cut,
    // since a cut path could name another socket.
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        fail(report);
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail(report);
        return nullptr;
    }
    auto connected = std::make_shared<HostSocket>(fd);
    // The send time-out bounds a UNIX connect; it is lifted again afterwards,
    // since the writer's sends block for as long as the host needs.
    const timeval none{};
    if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kConnectLimit, sizeof kConnectLimit) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none) != 0) {
        fail(report);
        return nullptr;
    }
    return connected;
}
