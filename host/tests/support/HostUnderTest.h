// A kesh-host for one test in a fresh folder (its XDG_DATA_HOME, data and state).
#pragma once

#include "ChildProcess.h"
#include "TemporaryFolder.h"
#include "WireApplet.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <csignal>

#include <memory>
#include <string>
#include <vector>

namespace kesh::test {

class HostUnderTest {
public:
    explicit HostUnderTest(const std::vector<std::string>& extraArgs = {}) { restart(extraArgs); }
    ~HostUnderTest() { host_->stop(SIGTERM); }

    // Starts the host (again, in the same folders) and waits until it has written display.json.
    void restart(const std::vector<std::string>& extraArgs = {});
    bool ready() const { return port_ > 0; }
    int port() const { return port_; }
    const std::string& token() const { return token_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::string home() const { return temp_.path().string(); }
    std::string stateFolder() const { return home() + "/state"; }
    std::string socketPath() const { return home() + "/Halvorin/TAMBER_GAMEAPP_SDK"; }
    std::string dataFolder() const { return home() + "/data"; }
    std::string filesFolder(const std::string& appletKey) const {
        return dataFolder() + "/" + appletKey + "/files";
    }
    std::string log() const; // the host's output so far
    ChildProcess& process() { return *host_; }

    // A client that carries the access token as a browser does (in its cookie), or nothing.
    httplib::Client client(bool withToken = true) const;
    nlohmann::json applet(const std::string& key) const; // its entry in /state; null while there is none
    // Posts a record through the control endpoint; returns how many connections took it.
    int sendRecord(const nlohmann::json& request) const;
    std::unique_ptr<WireApplet> connect() const { return std::make_unique<WireApplet>(socketPath()); }

private:
    kv::testsupport::TemporaryFolder temp_;
    std::unique_ptr<ChildProcess> host_;
    int port_ = 0;
    std::string token_;
};

std::string readFileText(const std::string& path);
// The text of the QR code in an image (zbarimg), "" for none.
std::string decodeQr(const std::string& imagePath);

} // namespace kesh::test
