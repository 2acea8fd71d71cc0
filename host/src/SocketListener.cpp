#include "SocketListener.h"

#include "Log.h"
#include "PrivateFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kesh::host {

namespace fs = std::filesystem;

namespace {

bool fillAddress(const fs::path& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() + 1 > sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

// Whether some process accepts connections on the socket at `address`.
bool someoneListens(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    const bool connected = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

} // namespace

SocketListener::~SocketListener() {
    stop();
}

bool SocketListener::open(const fs::path& socketPath, std::string& problem) {
    sockaddr_un address{};
    if (!fillAddress(socketPath, address)) {
        problem = "socket path " + socketPath.string() + " is too long for a UNIX-domain socket";
        return false;
    }
    // Only this user may reach the socket: whoever can write to its folder could put another in its place.
    if (!preparePrivateFolder(socketPath.parent_path(), problem)) {
        return false;
    }
    struct stat info {};
    if (::lstat(socketPath.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            problem = socketPath.string() + " exists and is not a socket; not replacing it";
            return false;
        }
        if (someoneListens(address)) {
            problem = "another host is already listening on " + socketPath.string();
            return false;
        }
        logLine("removing stale socket " + socketPath.string());
        ::unlink(socketPath.c_str());
    }
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        problem = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, SOMAXCONN) != 0) {
        problem = errno == EADDRINUSE
                      ? "another host is already listening on " + socketPath.string()
                      : "cannot listen on " + socketPath.string() + ": " + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    ::chmod(socketPath.c_str(), 0600);
    if (::stat(socketPath.c_str(), &info) == 0) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
    }
    path_ = socketPath;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    return true;
}

void SocketListener::adopt(int listeningFd) {
    fd_ = listeningFd;
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
}

void SocketListener::start(std::function<void(int fd)> onAccept) {
    onAccept_ = std::move(onAccept);
    thread_ = std::thread([this] { acceptLoop(); });
}

void SocketListener::acceptLoop() {
    pollfd watched[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    while (true) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            logLine(std::string("accepting stopped: ") + std::strerror(errno));
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            onAccept_(client);
        } else if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
            logLine(std::string("accept failed: ") + std::strerror(errno));
            if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: wait for one to be released rather than spin.
                ::poll(&watched[1], 1, 100);
            }
        }
    }
}

void SocketListener::stop() {
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        // Leave a socket alone that another host has put there since.
        struct stat info {};
        if (::lstat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
            ::unlink(path_.c_str());
        }
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

} // namespace kesh::host
