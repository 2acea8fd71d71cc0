// What the fault-injection tests share: temporary folders, child processes
// that end with an exit code, and waits with a deadline that never hang a run.
#pragma once

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

class TemporaryFolder {
public:
    TemporaryFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kv-rel-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "cannot make a temporary folder";
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

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
