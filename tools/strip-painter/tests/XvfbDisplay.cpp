#include "XvfbDisplay.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace kv::painter::test_support {

namespace {
std::string findXvfb() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t to = std::min(dirs.find(':', from), dirs.size());
        const std::string candidate = dirs.substr(from, to - from) + "/Xvfb";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = to + 1;
    }
    return {};
}
} // namespace

XvfbDisplay::~XvfbDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string XvfbDisplay::start() {
    const std::string xvfb = findXvfb();
    if (xvfb.empty())
        return "Xvfb is not installed";
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    // Only the write end goes to the server.
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args{xvfb, "-displayfd", fd, "-screen", "0", "640x480x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, xvfb.c_str(), nullptr, nullptr, argv.data(), environ);
    ::close(fds[1]);
    if (spawned != 0) {
        pid_ = -1;
        ::close(fds[0]);
        return "Xvfb could not be started";
    }
    // The server writes its display number and a line break once it accepts clients.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::string number;
    while (number.empty() || number.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char c = 0;
        if (::read(fds[0], &c, 1) != 1)
            break;
        number += c;
    }
    ::close(fds[0]);
    if (number.empty() || number.back() != '\n')
        return "Xvfb did not report a display";
    number.pop_back();
    name_ = ":" + number;
    return {};
}

} // namespace kv::painter::test_support
