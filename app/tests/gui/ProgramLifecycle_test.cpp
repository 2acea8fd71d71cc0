// The program KeshVistrel as a player starts it, in a private user session
// on the test's X server: its command line, a companion host that appears
// after it, a second start, and a quit by signal in the middle of a
// calibration.
#include "ChildProcess.h"
#include "TemporaryFolder.h"

#include <TestHost.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using kesh::test::ChildProcess;

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool exitedWith(const std::optional<int>& status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

// The folders of one user, and the program's standard error in files there.
class PrivateSession {
public:
    PrivateSession() {
        for (const char* name : {"data", "config", "state", "runtime"})
            std::filesystem::create_directory(folder_.path() / name);
        std::filesystem::permissions(folder_.path() / "runtime", std::filesystem::perms::owner_all);
    }
    std::string path(const std::string& name) const { return (folder_.path() / name).string(); }

    ChildProcess::Options options(const std::string& errors, std::map<std::string, std::string> extra = {}) {
        ChildProcess::Options options;
        options.environment = {{"HOME", path("")},
                               {"XDG_DATA_HOME", path("data")},
                               {"XDG_CONFIG_HOME", path("config")},
                               {"XDG_STATE_HOME", path("state")},
                               {"XDG_RUNTIME_DIR", path("runtime")},
                               {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path("no-bus")},
                               {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + path("no-bus")}};
        for (auto& [name, value] : extra)
            options.environment[name] = value;
        options.outputPath = path(errors); // standard output and error
        return options;
    }

private:
    kv::testsupport::TemporaryFolder folder_;
};

TEST(Program, AnswersItsCommandLineWithTheRightExitCodeWithOrWithoutADisplay) {
    struct Case {
        std::vector<std::string> arguments;
        bool display;
        int exitCode;
        std::string output;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--help"}, false, 0, "--keep-host", ""},
        {{"--version"}, false, 0, "KeshVistrel " KV_VERSION "\n", ""},
        {{"--wait-for-host", "--bogus"}, true, 2, "", "unknown option '--bogus'"},
        {{"extra"}, true, 2, "", "unexpected argument 'extra'"},
        {{}, false, 1, "", "no graphical display"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(no arguments)" : c.arguments.front());
        PrivateSession session;
        std::map<std::string, std::string> environment;
        if (!c.display)
            environment = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
        std::vector<std::string> argv{KV_PROGRAM};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        ChildProcess program(argv, session.options("output", environment));
        EXPECT_TRUE(exitedWith(program.wait(10s), c.exitCode));
        const std::string output = readText(session.path("output"));
        EXPECT_NE(output.find(c.output + c.error), std::string::npos) << output;
        if (!c.error.empty()) {
            EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        }
    }
}

// The first start finds no host: the SDK's "Connect Error" says its Init at
// launch failed. It connects to the host that appears then and pushes its
// update page; a second start only brings it forward.
TEST(Program, ConnectsToAHostThatAppearsLaterAndRunsOnlyOnce) {
    PrivateSession session;
    ChildProcess first({KV_PROGRAM, "--wait-for-host"}, session.options("first.errors"));
    ASSERT_TRUE(kesh::test::waitUntil(
        [&] { return readText(session.path("first.errors")).find("Connect Error") != std::string::npos; },
        20s));

    halvtest::TestHost host(session.path("data"));
    const auto updatePageArrived = [&] {
        const auto messages = host.messages();
        return std::any_of(messages.begin(), messages.end(), [](const halvtest::Message& m) {
            return m.type == 5 && m.fileName() == "update.html";
        });
    };
    EXPECT_TRUE(kesh::test::waitUntil(updatePageArrived, 3s));
    const auto files = host.messages();
    EXPECT_EQ(
        std::count_if(files.begin(), files.end(), [](const halvtest::Message& m) { return m.type == 4; }), 2)
        << "the update page's two images";

    ChildProcess second({KV_PROGRAM}, session.options("second.errors"));
    EXPECT_TRUE(exitedWith(second.wait(10s), 0));
    const auto messages = host.messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const halvtest::Message& m) { return m.type == 2 || m.type == 3; }),
              1);
    EXPECT_TRUE(exitedWith(first.stop(SIGTERM, 10s), 0));
}

// The keep-awake lock is a descriptor held until the shut-down: the process
// ending through its normal shut-down, which also stores the window frame,
// is what releases it.
TEST(Program, QuitsWithinTwoSecondsWhenStoppedInTheMiddleOfACalibration) {
    PrivateSession session;
    ChildProcess program({KV_CALIBRATING_PROGRAM, "--wait-for-host"}, session.options("errors"));
    ASSERT_TRUE(kesh::test::waitUntil(
        [&] { return readText(session.path("errors")).find("calibrating\n") != std::string::npos; }, 20s));
    std::this_thread::sleep_for(2s); // the scenario: a stop 2 s into the search, not a wait for a result
    EXPECT_TRUE(exitedWith(program.stop(SIGTERM, 2s), 0)) << readText(session.path("errors"));
    EXPECT_NE(readText(session.path("config/Pellmoor/KeshVistrel.conf")).find("windowPosition"),
              std::string::npos);
}

} // namespace
