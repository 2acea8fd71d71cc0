#include "DevToolsPipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kesh::test {

using nlohmann::json;

std::string chromiumPath() {
    for (const char* candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (::access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

namespace {
// Moves a descriptor above the range the child's descriptors 3 and 4 take.
int highDescriptor(int fd) {
    const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 64);
    ::close(fd);
    return high;
}
} // namespace

DevToolsPipe::DevToolsPipe(const std::string& userDataDir, int width, int height) {
    int commands[2];
    int answers[2];
    if (::pipe(commands) != 0 || ::pipe(answers) != 0) {
        return;
    }
    const int childReads = highDescriptor(commands[0]);
    toBrowser_ = highDescriptor(commands[1]);
    fromBrowser_ = highDescriptor(answers[0]);
    const int childWrites = highDescriptor(answers[1]);
    ChildProcess::Options options;
    options.extraFds = {{3, childReads}, {4, childWrites}};
    options.stderrPath = userDataDir + "/chromium.log";
    browser_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{
            chromiumPath(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars", "--remote-debugging-pipe", "--user-data-dir=" + userDataDir,
            "--window-size=" + std::to_string(width) + "," + std::to_string(height), "about:blank"},
        options);
    ::close(childReads);
    ::close(childWrites);
}

DevToolsPipe::~DevToolsPipe() {
    if (toBrowser_ >= 0) {
        call("Browser.close", json::object(), "", 5s);
        ::close(toBrowser_);
    }
    if (browser_) {
        browser_->stop(SIGTERM, 10s);
    }
    if (fromBrowser_ >= 0) {
        ::close(fromBrowser_);
    }
}

std::optional<json> DevToolsPipe::readMessage(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (const auto end = buffered_.find('\0'); end != std::string::npos) {
            json message = json::parse(buffered_.substr(0, end), nullptr, false);
            buffered_.erase(0, end + 1);
            return message;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd p{fromBrowser_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char chunk[65536];
        const ssize_t n = ::read(fromBrowser_, chunk, sizeof chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<json> DevToolsPipe::call(const std::string& method, const json& params,
                                       const std::string& sessionId, std::chrono::milliseconds timeout) {
    const int id = nextId_++;
    json request{{"id", id}, {"method", method}, {"params", params}};
    if (!sessionId.empty()) {
        request["sessionId"] = sessionId;
    }
    std::string text = request.dump();
    text.push_back('\0');
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(toBrowser_, text.data() + done, text.size() - done);
        if (n <= 0) {
            lastError_ = "cannot write to the browser";
            return std::nullopt;
        }
        done += static_cast<std::size_t>(n);
    }
    const auto deadline = Clock::now() + timeout;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        auto message = readMessage(left);
        if (!message) {
            lastError_ = "no answer to " + method;
            return std::nullopt;
        }
        if (message->is_object() && message->value("id", 0) == id) {
            if (message->contains("error")) {
                lastError_ = (*message)["error"].dump();
                return std::nullopt;
            }
            return (*message)["result"];
        }
    }
}

std::string DevToolsPipe::openPage(const std::string& url) {
    auto target = call("Target.createTarget", {{"url", url}});
    if (!target) {
        return "";
    }
    auto attached = call("Target.attachToTarget", {{"targetId", (*target)["targetId"]}, {"flatten", true}});
    if (!attached) {
        return "";
    }
    const std::string session = (*attached)["sessionId"];
    pageTargets_[session] = (*target)["targetId"];
    return session;
}

std::string DevToolsPipe::evaluateInFrame(const std::string& pageSession, const std::string& expression) {
    const auto targets = call("Target.getTargets", json::object());
    for (const auto& info : targets ? (*targets)["targetInfos"] : json::array()) {
        if (info.value("type", "") != "iframe" || info.value("parentId", "") != pageTargets_[pageSession]) {
            continue;
        }
        const std::string target = info["targetId"];
        if (!frameSessions_.contains(target)) {
            auto attached = call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}});
            if (!attached) {
                continue;
            }
            frameSessions_[target] = (*attached)["sessionId"];
        }
        return evaluate(frameSessions_[target], expression);
    }
    return "";
}

std::string DevToolsPipe::evaluate(const std::string& sessionId, const std::string& expression) {
    auto result = call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, sessionId);
    if (!result || !result->contains("result")) {
        return "";
    }
    const json& value = (*result)["result"]["value"];
    return value.is_string() ? value.get<std::string>() : value.dump();
}

} // namespace kesh::test
