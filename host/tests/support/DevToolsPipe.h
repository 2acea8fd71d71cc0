// Headless Chromium driven over its DevTools pipe (descriptors 3 and 4): no WebSocket client needed.
#pragma once

#include "ChildProcess.h"

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace kesh::test {

// The browser the tests use; empty when it is not installed.
std::string chromiumPath();

class DevToolsPipe {
public:
    DevToolsPipe(const std::string& userDataDir, int width, int height);
    ~DevToolsPipe();
    DevToolsPipe(const DevToolsPipe&) = delete;
    DevToolsPipe& operator=(const DevToolsPipe&) = delete;

    // Sends a command and waits for its answer's "result"; nullopt on error or timeout.
    std::optional<nlohmann::json> call(const std::string& method, const nlohmann::json& params,
                                       const std::string& sessionId = "",
                                       std::chrono::milliseconds timeout = 20s);
    // Opens a page and returns the session that drives it; empty on failure.
    std::string openPage(const std::string& url);
    // Evaluates a JavaScript expression in the page and returns its value as text (JSON for non-strings).
    std::string evaluate(const std::string& sessionId, const std::string& expression);
    // The same in the (sandboxed, own-process) frame of the page `pageSession` drives; "" while none.
    std::string evaluateInFrame(const std::string& pageSession, const std::string& expression);

    // A click of the mouse at (x, y) of the page in that frame, as a person's (popups allowed).
    void clickInFrame(const std::string& pageSession, int x, int y);
    // Writes a PNG of what the page shows to `path`.
    bool screenshot(const std::string& sessionId, const std::string& path);

    const std::string& lastError() const { return lastError_; }

private:
    std::string attach(const std::string& targetId);          // its session; "" on failure
    std::string frameSession(const std::string& pageSession); // "" while there is no frame
    std::pair<int, int> size_;                                // of every page
    std::unique_ptr<ChildProcess> browser_;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    int nextId_ = 1;
    std::string buffered_;
    std::string lastError_;
    std::map<std::string, std::string> pageTargets_;   // page session -> its target
    std::map<std::string, std::string> frameSessions_; // frame target -> session
};

} // namespace kesh::test
