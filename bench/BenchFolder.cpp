#include "BenchFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

BenchFolder::BenchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/kv-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return;
    path_ = pattern;
    std::error_code ignored;
    std::filesystem::create_directories(path_ + "/Halvorin", ignored);
    socketPath_ = path_ + "/Halvorin/TAMBER_GAMEAPP_SDK";
    if (const char* dataHome = std::getenv("XDG_DATA_HOME")) {
        hadDataHome_ = true;
        previousDataHome_ = dataHome;
    }
    setenv("XDG_DATA_HOME", path_.c_str(), 1);
    host_ = std::make_unique<DrainHost>(socketPath_);
}

BenchFolder::~BenchFolder() {
    host_.reset();
    if (hadDataHome_)
        setenv("XDG_DATA_HOME", previousDataHome_.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

int connectTo(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

bool sendAll(int fd, const void* bytes, size_t count) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        const ssize_t sent = send(fd, next, count, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}
