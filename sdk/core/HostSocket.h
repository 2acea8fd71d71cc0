// One connected UNIX-domain stream socket to the host. Shared between the
// writer and the reader of inbound records, and closed when the last of them
// lets go, so that a descriptor is never closed while another thread still
// uses it.
#ifndef HALV_HOST_SOCKET_H
#define HALV_HOST_SOCKET_H

#include <memory>
#include <string>

class HostSocket {
public:
    // How a failed connect is reported: by "Connect Error" and the reason on
    // standard error, or not at all (a reconnection attempt).
    enum class Report { connectError, silent };

    // Connects to the socket at `path`. A path too long for the address, or a
    // host that does not take the connection within the connect limit, fails
    // too. Null on failure.
    static std::shared_ptr<HostSocket> connect(const std::string& path, Report report);

    explicit HostSocket(int fd) : fd_(fd) {}
    ~HostSocket();
    HostSocket(const HostSocket&) = delete;
    HostSocket& operator=(const HostSocket&) = delete;

    int fd() const { return fd_; }
    // Ends both directions at once: a blocked write fails, the reader sees
    // the end. The descriptor stays open until the last user lets go.
    void shutDown();

private:
    const int fd_;
};

#endif
