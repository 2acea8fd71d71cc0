// Runs the GUI tests on a private X server, so that they never paint on the
// user's screen and never depend on a display being there: Xvfb is started
// with -displayfd on a free display number.
#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct XServer {
    pid_t pid = -1;
    std::string display;
};

XServer startXvfb() {
    int ready[2];
    if (::pipe(ready) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                 "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    XServer server{pid, {}};
    // Xvfb writes the display number and a line end once it accepts clients.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    char buffer[32];
    while (server.display.empty() || server.display.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{ready[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t got = ::read(ready[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        server.display.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(ready[0]);
    if (server.display.empty() || server.display.back() != '\n') {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return {};
    }
    server.display = ":" + server.display.substr(0, server.display.size() - 1);
    return server;
}

bool onlyListing(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (onlyListing(argc, argv))
        return RUN_ALL_TESTS();

    const XServer server = startXvfb();
    if (server.pid < 0) {
        std::fprintf(stderr, "could not start Xvfb for the GUI tests\n");
        return 1;
    }
    ::setenv("DISPLAY", server.display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result = 1;
    {
        QApplication application(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Pellmoor"));
        QApplication::setApplicationName(QStringLiteral("KeshVistrel"));
        QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
        result = RUN_ALL_TESTS();
    }
    ::kill(server.pid, SIGTERM);
    ::waitpid(server.pid, nullptr, 0);
    return result;
}
