// The program as a player starts it, in a private user session on the test's X server.
#include "ChildProcess.h"
#include "GuiTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace kv::guitest {
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

    ChildProcess::Options options(const std::string& errors, std::map<std::string, std::string> env = {}) {
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"})
            env.emplace(name, "unix:path=" + path("no-bus"));
        env.insert({{"HOME", path("")},
                    {"XDG_DATA_HOME", path("data")},
                    {"XDG_CONFIG_HOME", path("config")},
                    {"XDG_STATE_HOME", path("state")},
                    {"XDG_RUNTIME_DIR", path("runtime")}});
        return {env, path(errors + ".out"), {}, path(errors)};
    }

private:
    testsupport::TemporaryFolder folder_;
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
        ChildProcess program(argv, session.options("errors", environment));
        EXPECT_TRUE(exitedWith(program.wait(10s), c.exitCode));
        const std::string output = readText(session.path("errors.out"));
        EXPECT_NE(output.find(c.output), std::string::npos) << output;
        const std::string errors = readText(session.path("errors"));
        if (c.error.empty()) {
            EXPECT_EQ(errors, "");
        } else {
            EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        }
    }
}

// The SDK's "Connect Error" says the first start found no host; a second start only brings it forward.
TEST(Program, ConnectsToAHostThatAppearsLaterAndRunsOnlyOnce) {
    PrivateSession session;
    ChildProcess first({KV_PROGRAM, "--wait-for-host"}, session.options("first.errors"));
    ASSERT_TRUE(waitUntil(
        [&] { return readText(session.path("first.errors")).find("Connect Error") != std::string::npos; },
        10s));

    halvtest::TestHost host(session.path("data"));
    // The host is watched every 2 s: the update page comes within that, after the two images.
    EXPECT_TRUE(
        waitUntil([&] { return HostLog{host.messages()}.find(contentMessage, "update.html", 0) >= 0; }, 3s));
    const auto sentBy = [&](std::initializer_list<std::uint32_t> types) {
        const auto messages = host.messages();
        return std::count_if(messages.begin(), messages.end(), [&](const halvtest::Message& m) {
            return std::find(types.begin(), types.end(), m.type) != types.end();
        });
    };
    EXPECT_EQ(sentBy({fileMessage}), 2);

    ChildProcess second({KV_PROGRAM}, session.options("second.errors"));
    EXPECT_TRUE(exitedWith(second.wait(10s), 0));
    EXPECT_EQ(sentBy({registrationMessage, registrationWithIconMessage}), 1)
        << "the second start registers nothing";
    EXPECT_TRUE(exitedWith(first.stop(SIGTERM, 10s), 0));
}

// Only the normal shut-down (which stores the window frame) releases the keep-awake lock;
// "calibrating" comes right before the click that searches.
TEST(Program, QuitsWithinTwoSecondsWhenStoppedInTheMiddleOfACalibration) {
    PrivateSession session;
    ChildProcess program({KV_CALIBRATING_PROGRAM, "--wait-for-host"}, session.options("errors"));
    ASSERT_TRUE(waitUntil(
        [&] { return readText(session.path("errors.out")).find("calibrating\n") != std::string::npos; },
        10s));
    EXPECT_TRUE(exitedWith(program.stop(SIGTERM, 2s), 0)) << readText(session.path("errors"));
    EXPECT_NE(readText(session.path("config/Pellmoor/KeshVistrel.conf")).find("windowPosition"),
              std::string::npos);
}

} // namespace
} // namespace kv::guitest
