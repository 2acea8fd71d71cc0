#include "DisplayServer.h"

#include "AccessRules.h"
#include "AsciiText.h"
#include "EventHub.h"
#include "FileNames.h"
#include "HttpListener.h"
#include "NetworkAddresses.h"
#include "QrCode.h"
#include "WebPages.h"
#include "WebTemplates.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <regex>

namespace kesh::host {

using nlohmann::json;

// The library's request handling, fed by the listener's workers.
class DisplayServer::Routes : public httplib::Server {
public:
    void serve(httplib::Stream& stream) {
        bool closed = false;
        process_request(stream, true, closed, {});
    }
    // Streamed answers go on while this names a listening socket.
    void setListening(int fd) { svr_sock_ = fd; }
};

namespace {

// A display that loses its event stream tries again after this.
constexpr int kStreamRetryMs = 2000;
// After this many quiet seconds a stream carries an "alive" event, which shows
// a dropped browser early and tells the display that the host is still there.
constexpr int kAliveAfterQuietSeconds = 15;

const std::regex kAppletDisplayPath(R"(/applets/([^/]+)/?)");
const std::regex kFilePath(R"(/applets/([^/]+)/files/([0-9a-f]+)/(.+))");

// Pages a person opens; an address with the token in it is turned into one without.
bool isPagePath(const std::string& path) {
    return path == "/" || path == "/overview" || std::regex_match(path, kAppletDisplayPath);
}

// What a browser fetches without credentials to add the display to a home
// screen: the manifest and its icons, which tell nothing of the applets.
bool isPublicPath(const std::string& path) {
    return path == "/manifest.webmanifest" || path.starts_with("/icons/");
}

// Texts from applets may hold invalid UTF-8; they are shown with U+FFFD.
std::string dumpJson(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

// The request's own address without its token parameter.
std::string withoutToken(const std::string& target) {
    const auto question = target.find('?');
    std::string kept;
    if (question != std::string::npos) {
        std::string_view query(target);
        query.remove_prefix(question + 1);
        while (!query.empty()) {
            const auto amp = query.find('&');
            const auto part = query.substr(0, amp);
            if (!part.starts_with("token=") && part != "token") {
                kept += (kept.empty() ? "?" : "&") + std::string(part);
            }
            query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        }
    }
    return target.substr(0, question) + kept;
}

void setPageHeaders(httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header(
        "Content-Security-Policy",
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self'; "
        "connect-src 'self'; frame-src 'self'; manifest-src 'self'; base-uri 'none'; form-action 'none'; "
        "frame-ancestors 'none'");
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

DisplayServer::DisplayServer(AppletStore& store, EventSender& sender)
    : store_(store), sender_(sender), routes_(std::make_unique<Routes>()), hub_(std::make_shared<EventHub>()),
      listener_(std::make_unique<HttpListener>([this](httplib::Stream& stream) { routes_->serve(stream); })) {
    routes_->set_payload_max_length(HttpLimits::kMaxBodyBytes);
    store_.setListener([hub = hub_](const SharedChange& change) { hub->publish(change); });
    addRoutes();
}

DisplayServer::~DisplayServer() {
    stop();
    store_.setListener(nullptr);
}

bool DisplayServer::bind(const std::string& host, int port, std::string& problem) {
    onEveryAddress_ = isWildcardAddress(host);
    return listener_->bind(host, port, problem);
}

int DisplayServer::port() const {
    return listener_->port();
}

void DisplayServer::start(const std::string& token, const DisplayAddresses& addresses,
                          std::function<std::string()> announcedName) {
    token_ = token;
    addresses_ = addresses;
    announcedName_ = std::move(announcedName);
    routes_->setListening(listener_->socket());
    listener_->start();
}

void DisplayServer::stop() {
    hub_->closeAll();
    routes_->setListening(-1);
    listener_->stop();
}

void DisplayServer::addRoutes() {
    const auto handler = [this](void (DisplayServer::*handle)(const Request&, Response&) const) {
        return [this, handle](const Request& req, Response& res) { (this->*handle)(req, res); };
    };
    routes_->set_pre_routing_handler([this](const Request& req, Response& res) {
        return admit(req, res) ? httplib::Server::HandlerResponse::Unhandled
                               : httplib::Server::HandlerResponse::Handled;
    });
    routes_->Get("/", handler(&DisplayServer::handleDisplay));
    routes_->Get(R"(/applets/([^/]+)/?)", handler(&DisplayServer::handleAppletDisplay));
    routes_->Get(R"(/applets/([^/]+)/files/([0-9a-f]+)/(.+))", handler(&DisplayServer::handleFile));
    routes_->Get(R"(/applets/([^/]+)/icon\.png)", handler(&DisplayServer::handleIcon));
    routes_->Get("/overview", handler(&DisplayServer::handleOverview));
    routes_->Get("/address.png", handler(&DisplayServer::handleAddressCode));
    routes_->Get("/manifest.webmanifest", handler(&DisplayServer::handleManifest));
    routes_->Get(R"(/icons/([^/]+))", handler(&DisplayServer::handleWebIcon));
    routes_->Get("/state", handler(&DisplayServer::handleState));
    routes_->Get("/events", handler(&DisplayServer::handleEvents));
    routes_->Post("/event/tap", handler(&DisplayServer::handleTap));
    routes_->Post("/control/send-record", handler(&DisplayServer::handleSendRecord));
}

// The checks before any route: false when `res` already holds the refusal (or a redirect).
bool DisplayServer::admit(const Request& req, Response& res) const {
    const std::string host = req.get_header_value("Host");
    if (!hostNamesDisplay(host, port(),
                          [&](const std::string& name) { return isOwnName(name, req.local_addr); })) {
        refuse(res, 421, "This host answers only requests addressed to one of its own addresses.");
        return false;
    }
    if (std::regex_match(req.path, kFilePath)) {
        return true; // the applet's file capability stands in for the token (see handleFile)
    }
    if (req.has_header("Origin") && !originIsDisplay(req.get_header_value("Origin"), host)) {
        refuse(res, 403, "Requests sent by other sites are refused.");
        return false;
    }
    if (isPublicPath(req.path) && req.method == "GET") {
        return true;
    }
    const bool tokenInQuery = sameSecret(req.get_param_value("token"), token_);
    if (!tokenInQuery && !sameSecret(cookieValue(req.get_header_value("Cookie"), kTokenCookie), token_)) {
        if (req.method == "GET" && isPagePath(req.path)) {
            res.status = 403;
            setPageHeaders(res);
            res.set_content(renderTokenNeededPage(), "text/html; charset=utf-8");
        } else {
            refuse(res, 403, "This address needs the access token: open the address that kesh-host printed.");
        }
        return false;
    }
    if (req.method != "GET" && req.method != "HEAD" &&
        !isJsonContentType(req.get_header_value("Content-Type"))) {
        refuse(res, 415, "Expected a body of type application/json.");
        return false;
    }
    if (tokenInQuery) {
        res.set_header("Set-Cookie",
                       std::string(kTokenCookie) + "=" + token_ + "; HttpOnly; SameSite=Strict; Path=/");
        if (req.method == "GET" && isPagePath(req.path)) {
            // The same page without the token, so that it stays out of the address bar.
            res.status = 303;
            res.set_header("Location", withoutToken(req.target));
            return false;
        }
    }
    return true;
}

// The address the request arrived on; with a listener on every address, any
// address of this machine's interfaces; and the name the host is announced under.
bool DisplayServer::isOwnName(const std::string& name, const std::string& localAddress) const {
    if (name == asciiLower(localAddress) || (onEveryAddress_ && isInterfaceAddress(name))) {
        return true;
    }
    const std::string announced = announcedName_ ? asciiLower(announcedName_()) : "";
    return !announced.empty() && name == announced;
}

std::string DisplayServer::activeApplet() const {
    std::string active;
    store_.withSnapshot([&](const DisplaySnapshot& snapshot) { active = snapshot.activeApplet; });
    return active;
}

void DisplayServer::showDisplay(const std::string& follow, Response& res) const {
    std::string first;
    store_.withSnapshot([&](const DisplaySnapshot& snapshot) {
        if (auto it = snapshot.pages.find(follow.empty() ? snapshot.activeApplet : follow);
            it != snapshot.pages.end()) {
            first = shownPageUrl(it->second);
        }
    });
    setPageHeaders(res);
    res.set_content(renderDisplayPage(follow, first), "text/html; charset=utf-8");
}

void DisplayServer::handleDisplay(const Request&, Response& res) const {
    showDisplay("", res);
}

void DisplayServer::handleAppletDisplay(const Request& req, Response& res) const {
    if (!store_.applet(req.matches[1])) {
        res.status = 404;
        return;
    }
    showDisplay(req.matches[1], res);
}

// An applet's file, for its page in the display's frame: sandboxed, so that
// the page's scripts run with no authority of the host's.
void DisplayServer::handleFile(const Request& req, Response& res) const {
    const std::string key = req.matches[1];
    const std::string name = req.matches[3];
    const auto capability = store_.fileCapability(key);
    auto file = capability && sameSecret(req.matches[2].str(), *capability) ? store_.readFile(key, name)
                                                                            : std::nullopt;
    if (!file) {
        refuse(res, 404, "No such file.");
        return;
    }
    const std::string type = contentTypeFor(name);
    if (file->shownPage && type.starts_with("text/html")) {
        file->bytes = withFrameScript(file->bytes, file->edits);
    }
    res.set_header("Cache-Control", "no-store");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Content-Type-Options", "nosniff");
    // Links may open a new tab (outside the sandbox, so that other sites work
    // there), never the display itself.
    res.set_header("Content-Security-Policy",
                   "sandbox allow-scripts allow-popups allow-popups-to-escape-sandbox");
    res.set_content(std::move(file->bytes), type.c_str());
}

void DisplayServer::handleIcon(const Request& req, Response& res) const {
    auto icon = store_.readIcon(req.matches[1]);
    if (!icon) {
        res.status = 404;
        return;
    }
    res.set_content(std::move(*icon), "image/png");
}

void DisplayServer::handleOverview(const Request&, Response& res) const {
    setPageHeaders(res);
    res.set_content(renderOverviewPage(store_.applets(), addresses_), "text/html; charset=utf-8");
}

// The display's address with its token, for a phone's camera.
void DisplayServer::handleAddressCode(const Request&, Response& res) const {
    const auto code = encodeQr(addresses_.url);
    auto png = code ? qrPng(*code, 8) : std::nullopt;
    if (!png) {
        refuse(res, 500, "The address does not fit in a QR code.");
        return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(std::string(png->begin(), png->end()), "image/png");
}

void DisplayServer::handleManifest(const Request&, Response& res) const {
    res.set_content(kManifestTemplate, "application/manifest+json");
}

void DisplayServer::handleWebIcon(const Request& req, Response& res) const {
    const auto icon = webIcon(req.matches[1].str());
    if (!icon) {
        res.status = 404;
        return;
    }
    res.set_header("Cache-Control", "max-age=86400");
    res.set_content(std::string(*icon), contentTypeFor(req.matches[1].str()).c_str());
}

void DisplayServer::handleState(const Request&, Response& res) const {
    json applets = json::array();
    for (const auto& info : store_.applets()) {
        json files = json::array();
        for (const auto& file : info.files) {
            files.push_back({{"name", file.name},
                             {"size", file.size},
                             {"fileType", file.fileType},
                             {"url", fileUrl(info.key, info.fileCapability, file.name)}});
        }
        applets.push_back({{"key", info.key},
                           {"identifier", info.identifier},
                           {"friendlyName", info.friendlyName},
                           {"executablePath", info.executablePath},
                           {"connections", info.connections},
                           {"hasIcon", info.hasIcon},
                           {"shownPage", info.shownPage},
                           {"pageVersion", info.pageVersion},
                           {"files", files}});
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(dumpJson({{"active", activeApplet()}, {"applets", applets}}), "application/json");
}

void DisplayServer::handleEvents(const Request& req, Response& res) const {
    const std::string follow = req.get_param_value("applet");
    EventHub::StreamPtr stream;
    // Opened under the store's lock: the snapshot and the live changes meet without a gap.
    store_.withSnapshot([&](const DisplaySnapshot& snapshot) {
        std::vector<SharedChange> first{std::make_shared<const DisplayChange>(snapshot.presence)};
        if (auto it = snapshot.pages.find(follow.empty() ? snapshot.activeApplet : follow);
            it != snapshot.pages.end()) {
            first.push_back(std::make_shared<const DisplayChange>(it->second));
        }
        stream = hub_->open(follow, first);
    });
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [hub = hub_, stream, idleSeconds = std::make_shared<int>(0)](std::size_t offset,
                                                                     httplib::DataSink& sink) {
            std::string events = offset == 0 ? "retry: " + std::to_string(kStreamRetryMs) + "\n\n" : "";
            if (!hub->take(stream, std::chrono::seconds(1), events)) {
                return false;
            }
            if (events.empty()) {
                if (++*idleSeconds < kAliveAfterQuietSeconds) {
                    return sink.is_writable();
                }
                events = "event: alive\ndata: {}\n\n";
            }
            *idleSeconds = 0;
            return sink.write(events.data(), events.size());
        },
        [hub = hub_, stream](bool) { hub->close(stream); });
}

// A tap on the shown page, posted by the display page.
void DisplayServer::handleTap(const Request& req, Response& res) const {
    const json body = json::parse(req.body, nullptr, false);
    if (!body.is_object()) {
        refuse(res, 400, "Expected a JSON object.");
        return;
    }
    try {
        std::string key = body.value("applet", std::string());
        if (key.empty()) {
            key = activeApplet();
        }
        json arg{
            {"x", body.value("x", 0)}, {"y", body.value("y", 0)}, {"id", body.value("id", std::string())}};
        std::string text = dumpJson(arg);
        if (text.size() >= kEventArgBytes) {
            arg["id"] = "";
            text = dumpJson(arg); // an id too long to fit is left out rather than cut mid-text
        }
        const int sent = key.empty() ? 0 : sender_.send(key, eventRecord(kEventTap, 0, bytesOf(text)));
        res.set_content(dumpJson({{"sent", sent}}), "application/json");
    } catch (const json::exception& e) {
        refuse(res, 400, std::string("Bad request: ") + e.what());
    }
}

// Sends any record to applets, for tests and experiments; only from this machine.
void DisplayServer::handleSendRecord(const Request& req, Response& res) const {
    if (!isLoopbackAddress(req.remote_addr)) {
        refuse(res, 403, "The control endpoint answers only on this machine.");
        return;
    }
    const json body = json::parse(req.body, nullptr, false);
    if (!body.is_object()) {
        refuse(res, 400, "Expected a JSON object.");
        return;
    }
    try {
        std::string key = body.value("applet", std::string());
        if (key.empty()) {
            key = activeApplet();
        }
        std::vector<std::uint8_t> record;
        if (body.contains("rawHex")) {
            const std::string hex = body.at("rawHex").get<std::string>();
            if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                throw std::invalid_argument("rawHex must be an even number of hex digits");
            }
            for (std::size_t i = 0; i < hex.size(); i += 2) {
                record.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
            }
        } else if (body.value("recordType", 1) == 0) {
            record = keepAliveRecord();
        } else {
            record = eventRecord(body.value("eventType", 0), body.value("eventValue", 0),
                                 bytesOf(body.value("arg", std::string())));
        }
        const int sent = key.empty() ? 0 : sender_.send(key, record);
        res.set_content(dumpJson({{"sent", sent}}), "application/json");
    } catch (const std::exception& e) {
        refuse(res, 400, std::string("Bad request: ") + e.what());
    }
}

} // namespace kesh::host
