#include "DisplayServer.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kv::testsupport {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto startDeadline = std::chrono::seconds(20);

pid_t spawn(std::vector<std::string> args, char** environment) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environment) == 0 ? pid : -1;
}

bool exited(pid_t pid) {
    return ::waitpid(pid, nullptr, WNOHANG) == pid;
}

} // namespace

DisplayServer::~DisplayServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string DisplayServer::start(Kind kind, int width, int height) {
    return kind == Kind::Xvfb ? startXvfb(width, height) : startWeston(width, height);
}

// Xvfb writes its display number and a line break to -displayfd once it accepts clients.
std::string DisplayServer::startXvfb(int width, int height) {
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    pid_ =
        spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
               std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"},
              environ);
    ::close(fds[1]);
    std::string number;
    const auto deadline = Clock::now() + startDeadline;
    while (pid_ > 0 && (number.empty() || number.back() != '\n')) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
            ::read(fds[0], &c, 1) != 1)
            break;
        number += c;
    }
    ::close(fds[0]);
    if (pid_ <= 0)
        return "Xvfb is not installed";
    if (number.empty() || number.back() != '\n')
        return "Xvfb did not report a display";
    name_ = ":" + number.substr(0, number.size() - 1);
    return {};
}

// weston logs the display its XWayland listens on; XWayland itself starts with the first client.
std::string DisplayServer::startWeston(int width, int height) {
    if (::access("/usr/bin/Xwayland", X_OK) != 0)
        return "Xwayland is not installed (Debian package xwayland)";
    runtime_ = std::make_unique<TemporaryFolder>();
    const std::string log = (runtime_->path() / "weston.log").string();
    std::vector<std::string> environment{"XDG_RUNTIME_DIR=" + runtime_->path().string()};
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry(*variable);
        if (!entry.starts_with("XDG_RUNTIME_DIR=") && !entry.starts_with("WAYLAND_DISPLAY=") &&
            !entry.starts_with("DISPLAY="))
            environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_ =
        spawn({"weston", "--backend=headless-backend.so", "--xwayland", "--socket=kv-test", "--idle-time=0",
               "--width=" + std::to_string(width), "--height=" + std::to_string(height), "--log=" + log},
              envp.data());
    if (pid_ <= 0)
        return "weston is not installed (Debian package weston)";
    const std::regex listening("xserver listening on display (:[0-9]+)");
    const auto deadline = Clock::now() + startDeadline;
    std::string text;
    while (Clock::now() < deadline) {
        std::ifstream in(log);
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (std::smatch found; std::regex_search(text, found, listening)) {
            name_ = found[1];
            return {};
        }
        if (exited(pid_)) {
            pid_ = -1;
            return "weston ended before its XWayland listened; its log:\n" + text;
        }
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 20); // the log gives no notice of new lines
    }
    return "weston's XWayland did not listen within 20 s; its log:\n" + text;
}

} // namespace kv::testsupport
