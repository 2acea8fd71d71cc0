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

XvfbDisplay::~XvfbDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string XvfbDisplay::start(const std::string& screen) {
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    // Only the write end goes to the server.
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args{"Xvfb", "-displayfd", fd,    "-screen", "0",
                                  screen, "-nolisten",  "tcp", "-noreset"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, argv.data(), environ);
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
