// The UNIX-domain socket that applets connect to.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <thread>

namespace kesh::host {

class SocketListener {
public:
    SocketListener() = default;
    ~SocketListener();
    SocketListener(const SocketListener&) = delete;
    SocketListener& operator=(const SocketListener&) = delete;

    // Creates the socket's folder (mode 0700; an existing one of this user is
    // made private, one of another user refused), replaces a stale socket
    // file and listens. False with a reason when another host already
    // listens there, the path is not a socket, or it is too long.
    bool open(const std::filesystem::path& socketPath, std::string& problem);
    // Takes a socket that already listens (handed over by the service
    // manager); it stays where it is when the listener stops.
    void adopt(int listeningFd);

    // Accepts connections on a thread of its own, handing each to `onAccept`.
    void start(std::function<void(int fd)> onAccept);
    // Stops accepting and removes the socket file if it is still ours.
    void stop();

private:
    void acceptLoop();

    std::filesystem::path path_;
    int fd_ = -1;
    int wakeFd_ = -1; // an eventfd that ends the accept loop
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::function<void(int)> onAccept_;
    std::thread thread_;
};

} // namespace kesh::host
