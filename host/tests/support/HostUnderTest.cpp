#include "HostUnderTest.h"

#include <csignal>
#include <fstream>

namespace kesh::test {

HostUnderTest::HostUnderTest() {
    const std::vector<std::string> argv = {KESH_HOST_PROGRAM, "--http",     "127.0.0.1:0",
                                           "--data",          dataFolder(), "-v"};
    ChildProcess::Options options;
    options.environment["XDG_DATA_HOME"] = temp_.path();
    options.stderrPath = temp_.path() + "/host.log";
    host_ = std::make_unique<ChildProcess>(argv, options);
    const std::string prefix = "Companion display at http://127.0.0.1:";
    if (auto line = host_->readLineStartingWith(prefix, 20s)) {
        port_ = std::stoi(line->substr(prefix.size()));
    }
}

HostUnderTest::~HostUnderTest() {
    if (host_) {
        host_->stop(SIGTERM);
    }
}

std::string HostUnderTest::log() const {
    return readFileText(temp_.path() + "/host.log");
}

httplib::Client HostUnderTest::client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    return client;
}

nlohmann::json HostUnderTest::state() const {
    auto response = client().Get("/state");
    if (!response || response->status != 200) {
        return nullptr;
    }
    return nlohmann::json::parse(response->body, nullptr, false);
}

int HostUnderTest::sendRecord(const nlohmann::json& request) const {
    auto response = client().Post("/control/send-record", request.dump(), "application/json");
    if (!response || response->status != 200) {
        return -1;
    }
    return nlohmann::json::parse(response->body).value("sent", -1);
}

std::unique_ptr<ChildProcess> HostUnderTest::startApplet() const {
    ChildProcess::Options options;
    options.environment["XDG_DATA_HOME"] = temp_.path();
    return std::make_unique<ChildProcess>(std::vector<std::string>{KESH_TEST_APPLET_PROGRAM}, options);
}

std::string command(ChildProcess& applet, const std::string& line) {
    if (!applet.writeLine(line)) {
        return "write failed";
    }
    while (auto answer = applet.readLine(30s)) {
        if (answer->rfind("ok", 0) == 0 || answer->rfind("fail", 0) == 0) {
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
