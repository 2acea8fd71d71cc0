// A child process for tests: output to a file, stopped and waited for with a deadline.
#pragma once

#include <chrono>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kesh::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class ChildProcess {
public:
    struct Options {
        std::map<std::string, std::string> environment; // set in the child, over the test's own
        std::string outputPath;                         // standard output and error; empty: the test's
        std::map<int, int> extraFds;                    // child fd -> parent fd (dup'ed at start)
        std::string errorPath;                          // standard error apart from the output, when set
    };

    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess() { stop(9, 5s); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Sends `signal` and waits: the status (as from waitpid), or nullopt when it had to be killed.
    std::optional<int> stop(int signal, std::chrono::milliseconds timeout = 10s);
    std::optional<int> wait(std::chrono::milliseconds timeout = 10s);
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    std::optional<int> status_;
};

// Polls `condition` until it holds or `timeout` passes.
template <typename Condition> bool waitUntil(Condition condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return condition();
        }
        const timespec pause{0, 5'000'000};
        nanosleep(&pause, nullptr); // polling step, not a wait for a result
    }
    return true;
}

} // namespace kesh::test
