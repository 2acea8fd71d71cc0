#include "ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kesh::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, options.outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (options.errorPath.empty()) {
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        }
    }
    if (!options.errorPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, options.errorPath.c_str(),
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
