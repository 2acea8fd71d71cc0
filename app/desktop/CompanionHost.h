// The companion host as the application sees it: whether one listens on the
// SDK's socket, the address of its display, and starting one when none is
// there: through the user's service manager when kesh-host's units are
// installed, else as a child of this application.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QProcess;

namespace kv {

enum class HostStart {
    never,           // wait for a host that someone else starts
    withApplication, // a host started here stops when the application quits
    keepRunning,     // a host started here runs on after the application
};

class CompanionHost {
public:
    explicit CompanionHost(HostStart policy);
    ~CompanionHost();
    CompanionHost(const CompanionHost&) = delete;
    CompanionHost& operator=(const CompanionHost&) = delete;

    // Where a notice goes when a host started here ends early.
    void setNoticeSink(std::function<void(const std::string&)> sink) { noticeSink_ = std::move(sink); }

    // <XDG_DATA_HOME or ~/.local/share>/Halvorin/TAMBER_GAMEAPP_SDK, as the SDK finds it.
    static std::string socketPath();
    // Whether a host (or the service manager for it) accepts connections now.
    static bool listening();
    // Whether the socket is there at all: a host that stops removes it.
    static bool socketPresent();
    // The address a browser opens, from the host's display.json; empty when
    // unknown or when the host that wrote it is gone.
    static std::string displayAddress();

    enum class Started { no, userService, child };
    // Starts a host as the policy allows: the user unit kesh-host.socket when
    // the service manager knows it, else the kesh-host program.
    Started start();
    // Stops a host started here as a child, unless it is to keep running.
    void stop();

private:
    static bool startUserService();
    bool startProgram();

    HostStart policy_;
    std::unique_ptr<QProcess> child_;
    std::function<void(const std::string&)> noticeSink_;
};

} // namespace kv
