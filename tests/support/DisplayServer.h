// A private X display for one test process, so that tests never paint on the
// user's screen and never depend on a display being there: Xvfb, or a
// headless Wayland compositor (weston) with rootless XWayland, each picking
// its own free display number; weston runs in a runtime folder of its own.
#pragma once

#include "TemporaryFolder.h"

#include <memory>
#include <string>
#include <sys/types.h>

namespace kv::testsupport {

class DisplayServer {
public:
    enum class Kind { Xvfb, XWayland };

    DisplayServer() = default;
    ~DisplayServer();
    DisplayServer(const DisplayServer&) = delete;
    DisplayServer& operator=(const DisplayServer&) = delete;

    // Empty when the server is up (then `name()` is like ":5"), else why not.
    std::string start(Kind kind, int width = 1280, int height = 800);
    const std::string& name() const { return name_; }

private:
    std::string startXvfb(int width, int height);
    std::string startWeston(int width, int height);

    pid_t pid_ = -1;
    std::string name_;
    std::unique_ptr<TemporaryFolder> runtime_;
};

} // namespace kv::testsupport
