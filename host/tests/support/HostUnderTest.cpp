#include "HostUnderTest.h"

#include <csignal>
#include <fstream>

namespace kesh::test {

void HostUnderTest::restart(const std::vector<std::string>& extraArgs) {
    std::vector<std::string> argv = {KESH_HOST_PROGRAM, "--http",  "127.0.0.1:0", "--data",
                                     dataFolder(),      "--state", stateFolder(), "-v"};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    std::remove((stateFolder() + "/display.json").c_str());
    // No system bus, so no Avahi: nothing is announced on the network from a test.
    host_ = std::make_unique<ChildProcess>(
        argv, ChildProcess::Options{
                  {{"XDG_DATA_HOME", home()}, {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + home() + "/none"}},
                  home() + "/host.log",
                  {},
                  {}});
    nlohmann::json display;
    waitUntil(
        [&] {
            display = nlohmann::json::parse(readFileText(stateFolder() + "/display.json"), nullptr, false);
            return display.is_object() || host_->wait(0ms);
        },
        20s);
    port_ = display.is_object() ? display.value("port", 0) : 0;
    token_ = display.is_object() ? display.value("token", "") : "";
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

nlohmann::json HostUnderTest::applet(const std::string& key) const {
    auto response = client().Get("/state");
    const auto state = nlohmann::json::parse(response ? response->body : "", nullptr, false);
    for (const auto& applet :
         state.is_object() ? state.value("applets", nlohmann::json::array()) : nlohmann::json::array()) {
        if (applet["key"] == key) {
            return applet;
        }
    }
    return nullptr;
}

int HostUnderTest::sendRecord(const nlohmann::json& request) const {
    auto response = client().Post("/control/send-record", request.dump(), "application/json");
    return response && response->status == 200 ? nlohmann::json::parse(response->body).value("sent", -1) : -1;
}

std::string decodeQr(const std::string& imagePath) {
    const std::string out = imagePath + ".txt";
    ChildProcess zbar({"/usr/bin/zbarimg", "--nodbus", "-q", "--raw", imagePath}, {{}, out, {}, {}});
    zbar.wait();
    std::string text = readFileText(out);
    return text.substr(0, text.find('\n'));
}

std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace kesh::test
