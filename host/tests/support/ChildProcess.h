// A child process for tests, with pipes to its standard input and output and
// reads that wait for a deadline rather than for ever.
#pragma once

#include <chrono>
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
        std::map<std::string, std::string> environment; // added to (or replacing in) the test's own
        std::string stderrPath;                         // empty: inherit the test's standard error
        // Extra descriptors for the child: child fd -> parent fd (dup'ed at start).
        std::map<int, int> extraFds;
    };

    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of standard output, without its newline; nullopt at the
    // deadline or at the end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 10s);
    // Reads lines until one starts with `prefix`, returning it.
    std::optional<std::string> readLineStartingWith(const std::string& prefix,
                                                    std::chrono::milliseconds timeout = 10s);
    bool writeLine(const std::string& line);

    // Sends `signal` and waits up to `timeout` for the exit; returns the exit
    // status (as from waitpid), or nullopt when the child had to be killed.
    std::optional<int> stop(int signal, std::chrono::milliseconds timeout = 10s);
    // Waits for the child to end by itself.
    std::optional<int> wait(std::chrono::milliseconds timeout = 10s);

private:
    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffered_;
    bool reaped_ = false;
    int status_ = 0;
};

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Polls `condition` until it holds or `timeout` passes.
template <typename Condition> bool waitUntil(Condition condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return condition();
        }
        struct timespec pause {
            0, 5'000'000
        };
        nanosleep(&pause, nullptr); // polling step, not a wait for a result
    }
    return true;
}

} // namespace kesh::test
