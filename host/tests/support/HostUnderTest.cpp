#include "HostUnderTest.h"

#include <csignal>
#include <fstream>

namespace kesh::test {

HostUnderTest::HostUnderTest(const std::vector<std::string>& extraArgs) {
    restart(extraArgs);
}

HostUnderTest::~HostUnderTest() {
    host_->stop(SIGTERM);
}

void HostUnderTest::restart(const std::vector<std::string>& extraArgs) {
    std::vector<std::string> argv = {KESH_HOST_PROGRAM, "--http",  "127.0.0.1:0", "--data",
                                     dataFolder(),      "--state", stateFolder(), "-v"};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    ChildProcess::Options options;
    options.environment["XDG_DATA_HOME"] = home();
    options.stderrPath = home() + "/host.log";
    host_ = std::make_unique<ChildProcess>(argv, options);
    port_ = 0;
    if (host_->readLineStartingWith("Companion display at ", 20s)) {
        const auto display =
            nlohmann::json::parse(readFileText(stateFolder() + "/display.json"), nullptr, false);
        port_ = display.value("port", 0);
        token_ = display.value("token", "");
    }
}

std::string HostUnderTest::log() const {
    return readFileText(home() + "/host.log");
}

httplib::Client HostUnderTest::client(bool withToken) const {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    if (withToken) {
        client.set_default_headers({{"Cookie", "kesh_token=" + token_}});
    }
    return client;
}

nlohmann::json HostUnderTest::state() const {
    auto response = client().Get("/state");
    return response && response->status == 200 ? nlohmann::json::parse(response->body, nullptr, false)
                                               : nlohmann::json();
}

int HostUnderTest::sendRecord(const nlohmann::json& request) const {
    auto response = client().Post("/control/send-record", request.dump(), "application/json");
    return response && response->status == 200 ? nlohmann::json::parse(response->body).value("sent", -1) : -1;
}

std::unique_ptr<ChildProcess> HostUnderTest::startApplet() const {
    ChildProcess::Options options;
    options.environment["XDG_DATA_HOME"] = home();
    return std::make_unique<ChildProcess>(std::vector<std::string>{KESH_TEST_APPLET_PROGRAM}, options);
}

std::string command(ChildProcess& applet, const std::string& line) {
    if (!applet.writeLine(line)) {
        return "write failed";
    }
    while (auto answer = applet.readLine(30s)) {
        if (answer->starts_with("ok") || answer->starts_with("fail")) {
            return *answer;
        }
    }
    return "no answer";
}

std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace kesh::test
