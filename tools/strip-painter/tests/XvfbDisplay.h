// A private Xvfb server for one test process: it picks a free display number
// itself (-displayfd), so nothing is fixed and tests can run side by side.
#pragma once

#include <string>
#include <sys/types.h>

namespace kv::painter::test_support {

class XvfbDisplay {
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // Empty when the server is up (then `name()` is like ":5"), else why not.
    std::string start(const std::string& screen = "640x480x24");
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

} // namespace kv::painter::test_support
