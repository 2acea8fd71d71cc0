// A kesh-host started for one test on a fresh XDG_DATA_HOME, and applets
// (the kesh-test-applet helper) that talk to it through the real SDK.
#pragma once

#include "ChildProcess.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace kesh::test {

class HostUnderTest {
public:
    HostUnderTest();
    ~HostUnderTest();

    // Whether the host started and printed its address.
    bool ready() const { return port_ > 0; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    const std::string& dataHome() const { return temp_.path(); }
    std::string socketPath() const { return temp_.path() + "/Halvorin/TAMBER_GAMEAPP_SDK"; }
    std::string dataFolder() const { return temp_.path() + "/data"; }
    std::string filesFolder(const std::string& appletKey) const {
        return dataFolder() + "/" + appletKey + "/files";
    }
    std::string log() const; // the host's standard error so far
    ChildProcess& process() { return *host_; }

    httplib::Client client() const;
    nlohmann::json state() const; // GET /state; null on failure
    // Posts a record through the control endpoint; returns how many connections took it.
    int sendRecord(const nlohmann::json& request) const;

    // A test applet on this host's socket, driven by lines on its standard input.
    std::unique_ptr<ChildProcess> startApplet() const;

private:
    TempFolder temp_;
    std::unique_ptr<ChildProcess> host_;
    int port_ = 0;
};

// Sends a command line to a test applet and waits for its "ok"/"fail" answer.
std::string command(ChildProcess& applet, const std::string& line);

std::string readFileText(const std::string& path);

} // namespace kesh::test
