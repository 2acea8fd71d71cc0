// A kesh-host started for one test in a fresh folder (its XDG_DATA_HOME, data
// and state), and applets (the kesh-test-applet helper) that talk to it
// through the real SDK.
#pragma once

#include "ChildProcess.h"
#include "TemporaryFolder.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace kesh::test {

class HostUnderTest {
public:
    explicit HostUnderTest(const std::vector<std::string>& extraArgs = {});
    ~HostUnderTest();

    // Starts the host again in the same folders (after process().stop()).
    void restart(const std::vector<std::string>& extraArgs = {});
    // Whether the host started and wrote display.json.
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
    std::string log() const; // the host's standard error so far
    ChildProcess& process() { return *host_; }

    // A client that carries the access token as a browser does (in its cookie), or nothing.
    httplib::Client client(bool withToken = true) const;
    nlohmann::json state() const; // GET /state; null on failure
    // Posts a record through the control endpoint; returns how many connections took it.
    int sendRecord(const nlohmann::json& request) const;

    // A test applet on this host's socket, driven by lines on its standard input.
    std::unique_ptr<ChildProcess> startApplet() const;

private:
    kv::testsupport::TemporaryFolder temp_;
    std::unique_ptr<ChildProcess> host_;
    int port_ = 0;
    std::string token_;
};

// Sends a command line to a test applet and waits for its "ok"/"fail" answer.
std::string command(ChildProcess& applet, const std::string& line);

std::string readFileText(const std::string& path);

} // namespace kesh::test
