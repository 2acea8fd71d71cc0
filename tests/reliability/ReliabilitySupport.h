// What the fault-injection tests share: temporary folders, child processes
// that end with an exit code, and waits with a deadline that never hang a run.
#pragma once

#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kv::reliability {

using namespace std::chrono_literals;

// Far beyond anything the system needs; only a hang reaches it.
inline constexpr auto kGenerousDeadline = 60s;

using kv::testsupport::TemporaryFolder;

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs `work` on its own thread and tells whether it finished in time. A call
// that hangs cannot be cancelled, so the process ends at once with a message
// rather than holding the whole run until the test runner's time-out.
inline bool finishesWithin(std::chrono::seconds deadline, std::function<void()> work, const char* what) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([done, work = std::move(work)] {
        work();
        done->set_value();
    }).detach();
    if (finished.wait_for(deadline) == std::future_status::ready)
        return true;
    std::fprintf(stderr, "%s did not return within %lld s\n", what, static_cast<long long>(deadline.count()));
    std::_Exit(3);
}

// Forks; the child runs `child` and exits with its result. Returns the pid.
inline pid_t forkChild(const std::function<int()>& child) {
    const pid_t pid = fork();
    if (pid == 0)
        std::_Exit(child());
    return pid;
}

// The exit code of a child, or -signal when a signal ended it.
inline int waitForChild(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace kv::reliability
