#include "DevToolsPipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace kesh::test {

using nlohmann::json;

std::string chromiumPath() {
    return ::access("/usr/bin/chromium", X_OK) == 0 ? "/usr/bin/chromium" : "";
}

DevToolsPipe::DevToolsPipe(const std::string& userDataDir, int width, int height) : size_{width, height} {
    int commands[2];
    int answers[2];
    if (chromiumPath().empty() || ::pipe(commands) != 0 || ::pipe(answers) != 0) {
        return;
    }
    // Above the child's descriptors 3 and 4, so that giving it those replaces none of them.
    for (int* fd : {&commands[0], &commands[1], &answers[0], &answers[1]}) {
        const int high = ::fcntl(*fd, F_DUPFD_CLOEXEC, 64);
        ::close(std::exchange(*fd, high));
    }
    toBrowser_ = commands[1];
    fromBrowser_ = answers[0];
    ChildProcess::Options options;
    options.extraFds = {{3, commands[0]}, {4, answers[1]}};
    options.outputPath = userDataDir + "/chromium.log";
    browser_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{
            chromiumPath(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars", "--remote-debugging-pipe", "--user-data-dir=" + userDataDir,
            "--window-size=" + std::to_string(width) + "," + std::to_string(height), "about:blank"},
        options);
    ::close(commands[0]);
    ::close(answers[1]);
}

DevToolsPipe::~DevToolsPipe() {
    if (browser_) {
        call("Browser.close", json::object(), "", 5s);
        browser_->stop(SIGTERM, 10s);
        ::close(toBrowser_);
        ::close(fromBrowser_);
    }
}

std::optional<json> DevToolsPipe::call(const std::string& method, const json& params,
                                       const std::string& sessionId, std::chrono::milliseconds timeout) {
    const int id = nextId_++;
    json request{{"id", id}, {"method", method}, {"params", params}};
    if (!sessionId.empty()) {
        request["sessionId"] = sessionId;
    }
    const std::string text = request.dump() + '\0';
    if (!browser_ || ::write(toBrowser_, text.data(), text.size()) != ssize_t(text.size())) {
        lastError_ = "cannot write to the browser";
        return std::nullopt;
    }
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (const auto end = buffered_.find('\0'); end != std::string::npos) {
            const json message = json::parse(buffered_.substr(0, end), nullptr, false);
            buffered_.erase(0, end + 1);
            if (message.is_object() && message.value("id", 0) == id) {
                if (message.contains("error")) {
                    lastError_ = message["error"].dump();
                    return std::nullopt;
                }
                return message["result"];
            }
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fromBrowser_, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
        char chunk[65536];
        const ssize_t n = ready > 0 ? ::read(fromBrowser_, chunk, sizeof chunk) : 0;
        if (n <= 0 && !(ready < 0 && errno == EINTR)) {
            lastError_ = "no answer to " + method;
            return std::nullopt;
        }
        buffered_.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
}

std::string DevToolsPipe::attach(const std::string& targetId) {
    const auto attached = call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}});
    return attached ? (*attached)["sessionId"].get<std::string>() : "";
}

std::string DevToolsPipe::openPage(const std::string& url) {
    const auto target = call("Target.createTarget", {{"url", url}});
    const std::string session = target ? attach((*target)["targetId"]) : "";
    if (session.empty()) {
        return "";
    }
    pageTargets_[session] = (*target)["targetId"];
    // The page's own size, as a phone's screen, whatever the window's.
    call("Emulation.setDeviceMetricsOverride",
         {{"width", size_.first}, {"height", size_.second}, {"deviceScaleFactor", 1}, {"mobile", true}},
         session);
    return session;
}

std::string DevToolsPipe::evaluate(const std::string& sessionId, const std::string& expression) {
    auto result =
        call("Runtime.evaluate",
             {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, sessionId);
    if (!result || !result->contains("result")) {
        return "";
    }
    const json& value = (*result)["result"]["value"];
    return value.is_string() ? value.get<std::string>() : value.dump();
}

std::string DevToolsPipe::frameSession(const std::string& pageSession) {
    const auto targets = call("Target.getTargets", json::object());
    for (const auto& info : targets ? (*targets)["targetInfos"] : json::array()) {
        if (info.value("type", "") != "iframe" || info.value("parentId", "") != pageTargets_[pageSession]) {
            continue;
        }
        std::string& session = frameSessions_[info["targetId"]];
        if (session.empty()) {
            session = attach(info["targetId"]);
        }
        return session;
    }
    return "";
}

std::string DevToolsPipe::evaluateInFrame(const std::string& pageSession, const std::string& expression) {
    const std::string frame = frameSession(pageSession);
    return frame.empty() ? "" : evaluate(frame, expression);
}

// Given to the frame's own session: the page's would not reach a frame in another process.
void DevToolsPipe::clickInFrame(const std::string& pageSession, int x, int y) {
    call("Page.bringToFront", json::object(), pageSession);
    // A page brought to the front lays its frame out anew before the frame can be hit.
    const std::string point = std::to_string(x) + ", " + std::to_string(y);
    waitUntil(
        [&] { return evaluateInFrame(pageSession, "!!document.elementFromPoint(" + point + ")") == "true"; });
    const std::string frame = frameSession(pageSession);
    for (const char* type : {"mousePressed", "mouseReleased"}) {
        call("Input.dispatchMouseEvent",
             {{"type", type}, {"x", x}, {"y", y}, {"button", "left"}, {"clickCount", 1}}, frame);
    }
}

bool DevToolsPipe::screenshot(const std::string& sessionId, const std::string& path) {
    const auto shot = call("Page.captureScreenshot", {{"format", "png"}}, sessionId);
    std::ofstream(path + ".base64") << (shot ? (*shot)["data"].get<std::string>() : "");
    std::remove(path.c_str());
    const auto decoded = ChildProcess({"/usr/bin/base64", "-d", path + ".base64"}, {{}, path, {}, {}}).wait();
    std::remove((path + ".base64").c_str());
    return shot && decoded && *decoded == 0;
}

} // namespace kesh::test
