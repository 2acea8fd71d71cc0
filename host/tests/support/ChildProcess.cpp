#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kesh::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (!options.stderrPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, options.stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
    }
    for (const auto& [childFd, parentFd] : options.extraFds) {
        posix_spawn_file_actions_adddup2(&actions, parentFd, childFd);
    }
    // The child's own variables come first: getenv takes the first match.
    std::vector<std::string> strings(argv);
    for (const auto& [name, value] : options.environment) {
        strings.push_back(name + "=" + value);
    }
    std::vector<char*> args;
    std::vector<char*> env;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        (i < argv.size() ? args : env).push_back(strings[i].data());
    }
    for (char** e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    args.push_back(nullptr);
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) {
        pid_ = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
}

ChildProcess::~ChildProcess() {
    stop(SIGKILL, 5s);
    ::close(in_);
    ::close(out_);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (const auto nl = buffered_.find('\n'); nl != std::string::npos) {
            std::string line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out_, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> ChildProcess::readLineStartingWith(const std::string& prefix,
                                                              std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (auto line =
               readLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
        if (line->starts_with(prefix)) {
            return line;
        }
    }
    return std::nullopt;
}

bool ChildProcess::writeLine(const std::string& line) {
    const std::string text = line + "\n";
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(in_, text.data() + done, text.size() - done);
        if (n <= 0 && errno != EINTR) {
            return false;
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return true;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (pid_ > 0 && !status_) {
        int status = 0;
        if (waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) != 0; }, timeout)) {
            status_ = status;
        }
    }
    return status_;
}

std::optional<int> ChildProcess::stop(int signal, std::chrono::milliseconds timeout) {
    if (pid_ <= 0 || status_) {
        return status_;
    }
    ::kill(pid_, signal);
    if (auto status = wait(timeout)) {
        return status;
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = status;
    return std::nullopt;
}

} // namespace kesh::test
