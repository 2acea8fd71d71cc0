// The host's state folder: the access token that every HTTP request must
// carry, and display.json, which tells other programs where the display is.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kesh::host {

// The addresses of a running display, each with the token in its query.
struct DisplayAddresses {
    int port = 0;
    std::string url;                    // the best address to open: on the network when a phone can reach it
    std::string localUrl;               // an address on this machine
    std::vector<std::string> addresses; // the network addresses, best first, then the local one
    bool onNetwork = false;             // `url` is one that a phone on the network can open
};

// The display's addresses for an HTTP listener on host:port: one for each
// network address a phone can open (see networkAddresses), and one on this machine.
DisplayAddresses displayAddresses(const std::string& host, int port, const std::string& token);

class HostState {
public:
    explicit HostState(std::filesystem::path folder) : folder_(std::move(folder)) {}
    ~HostState() { withdraw(); }
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    // Prepares the folder (private to this user) and reads the token,
    // creating one when there is none or it is malformed, and always when
    // `newToken`. False with a reason.
    bool open(bool newToken, std::string& problem);
    const std::string& token() const { return token_; }

    // Writes display.json; withdraw() (or destruction) removes it again.
    bool publish(const DisplayAddresses& addresses, std::string& problem);
    void withdraw();

private:
    std::filesystem::path folder_;
    std::string token_;
    bool published_ = false;
};

} // namespace kesh::host
