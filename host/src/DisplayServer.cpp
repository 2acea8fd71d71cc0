#include "DisplayServer.h"

#include "DisplayPage.h"
#include "FileNames.h"
#include "Log.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>

namespace kesh::host {

using nlohmann::json;

namespace {

// Texts from applets may hold invalid UTF-8; they are shown with U+FFFD.
std::string dumpJson(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string urlEncode(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size()) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

std::string pageUrl(const DisplayChange& page) {
    return fileUrl(page.appletKey, page.page) + "?v=" + std::to_string(page.pageVersion);
}

std::string formatEvent(const DisplayChange& change) {
    json data{{"applet", change.appletKey}, {"version", change.pageVersion}};
    std::string name;
    switch (change.kind) {
    case DisplayChange::Kind::Page:
        name = "page";
        data["page"] = change.page;
        data["url"] = pageUrl(change);
        break;
    case DisplayChange::Kind::Property:
    case DisplayChange::Kind::Content:
        name = "edit";
        data["byClass"] = change.selector.byClass;
        data["tag"] = change.selector.name;
        if (change.kind == DisplayChange::Kind::Property) {
            data["property"] = change.property;
            data["value"] = change.text;
        } else {
            data["content"] = change.text;
        }
        break;
    }
    return "event: " + name + "\ndata: " + dumpJson(data) + "\n\n";
}

bool isLoopback(const std::string& address) {
    return address == "127.0.0.1" || address == "::1" || address.rfind("::ffff:127.", 0) == 0;
}

} // namespace

// Hands display changes to the connected browsers, each with its own queue.
class EventHub {
public:
    struct Subscriber {
        std::string follow; // applet key, or "" for the active applet
        std::deque<std::string> queue;
        bool closed = false;
    };

    // A browser that falls this far behind is cut off; it reconnects and catches up from a snapshot.
    static constexpr std::size_t kMaxQueued = 5000;

    std::shared_ptr<Subscriber> subscribe(const std::string& follow, std::deque<std::string> initial) {
        auto subscriber = std::make_shared<Subscriber>();
        subscriber->follow = follow;
        subscriber->queue = std::move(initial);
        const std::lock_guard lock(mutex_);
        subscribers_.push_back(subscriber);
        return subscriber;
    }

    void unsubscribe(const std::shared_ptr<Subscriber>& subscriber) {
        const std::lock_guard lock(mutex_);
        subscribers_.remove(subscriber);
    }

    void publish(const DisplayChange& change) {
        const std::string event = formatEvent(change);
        {
            const std::lock_guard lock(mutex_);
            for (const auto& subscriber : subscribers_) {
                if (!subscriber->follow.empty() && subscriber->follow != change.appletKey) {
                    continue;
                }
                if (subscriber->queue.size() >= kMaxQueued) {
                    subscriber->closed = true;
                } else {
                    subscriber->queue.push_back(event);
                }
            }
        }
        changed_.notify_all();
    }

    // Waits for events up to `timeout`; empty when none came. False when the subscriber is closed.
    bool take(const std::shared_ptr<Subscriber>& subscriber, std::chrono::milliseconds timeout,
              std::string& out) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout,
                          [&] { return closing_ || subscriber->closed || !subscriber->queue.empty(); });
        if (closing_ || subscriber->closed) {
            return false;
        }
        while (!subscriber->queue.empty()) {
            out += subscriber->queue.front();
            subscriber->queue.pop_front();
        }
        return true;
    }

    void closeAll() {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<std::shared_ptr<Subscriber>> subscribers_;
    bool closing_ = false;
};

std::string fileUrl(const std::string& appletKey, const std::string& fileName) {
    return "/applets/" + urlEncode(appletKey) + "/files/" + urlEncode(fileName);
}

std::string renderDisplayPage(const std::string& followKey, const std::string& firstPageUrl) {
    std::string page = kDisplayPageTemplate;
    page = replaceAll(page, "{{FOLLOW}}", htmlEscape(followKey));
    page =
        replaceAll(page, "{{FIRST_PAGE}}", htmlEscape(firstPageUrl.empty() ? "about:blank" : firstPageUrl));
    return page;
}

DisplayServer::DisplayServer(AppletStore& store, EventSender& sender)
    : store_(store), sender_(sender), server_(std::make_unique<httplib::Server>()),
      hub_(std::make_shared<EventHub>()) {
    // Each live display holds a worker for its event stream.
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    store_.setListener([hub = hub_](const DisplayChange& change) { hub->publish(change); });
    addRoutes();
}

DisplayServer::~DisplayServer() {
    stop();
    store_.setListener(nullptr);
}

bool DisplayServer::bind(const std::string& host, int port, std::string& problem) {
    if (port == 0) {
        port_ = server_->bind_to_any_port(host);
    } else {
        port_ = server_->bind_to_port(host, port) ? port : -1;
    }
    if (port_ <= 0) {
        problem = "cannot listen for HTTP on " + host + ":" + std::to_string(port);
        return false;
    }
    return true;
}

void DisplayServer::start() {
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void DisplayServer::stop() {
    hub_->closeAll();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

void DisplayServer::addRoutes() {
    auto& server = *server_;

    const auto showDisplay = [this](const std::string& follow, httplib::Response& res) {
        std::string first;
        store_.withSnapshot([&](const DisplaySnapshot& snapshot) {
            const std::string key = follow.empty() ? snapshot.activeApplet : follow;
            if (auto it = snapshot.history.find(key); it != snapshot.history.end()) {
                first = pageUrl(it->second.front());
            }
        });
        res.set_header("Cache-Control", "no-store");
        res.set_content(renderDisplayPage(follow, first), "text/html; charset=utf-8");
    };

    server.Get("/", [showDisplay](const httplib::Request&, httplib::Response& res) { showDisplay("", res); });

    server.Get(R"(/applets/([^/]+)/?)",
               [this, showDisplay](const httplib::Request& req, httplib::Response& res) {
                   if (!store_.applet(req.matches[1])) {
                       res.status = 404;
                       return;
                   }
                   showDisplay(req.matches[1], res);
               });

    server.Get(R"(/applets/([^/]+)/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string key = req.matches[1];
        const std::string name = req.matches[2];
        auto bytes = store_.readFile(key, name);
        if (!bytes) {
            res.status = 404;
            res.set_content("No file \"" + name + "\" is stored for this applet.",
                            "text/plain; charset=utf-8");
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(std::move(*bytes), contentTypeFor(name).c_str());
    });

    server.Get(R"(/applets/([^/]+)/icon\.png)", [this](const httplib::Request& req, httplib::Response& res) {
        auto info = store_.applet(req.matches[1]);
        if (!info || !info->hasIcon) {
            res.status = 404;
            return;
        }
        std::ifstream in(store_.iconPath(info->key), std::ios::binary);
        res.set_content(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                        "image/png");
    });

    server.Get("/events", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string follow = req.has_param("applet") ? req.get_param_value("applet") : "";
        std::shared_ptr<EventHub::Subscriber> subscriber;
        // Subscribing under the store's lock: the snapshot and the live events meet without a gap.
        store_.withSnapshot([&](const DisplaySnapshot& snapshot) {
            std::deque<std::string> initial;
            const std::string key = follow.empty() ? snapshot.activeApplet : follow;
            if (auto it = snapshot.history.find(key); it != snapshot.history.end()) {
                for (const auto& change : it->second) {
                    initial.push_back(formatEvent(change));
                }
            }
            subscriber = hub_->subscribe(follow, std::move(initial));
        });
        res.set_header("Cache-Control", "no-store");
        res.set_chunked_content_provider(
            "text/event-stream",
            [hub = hub_, subscriber, idleSeconds = std::make_shared<int>(0)](std::size_t,
                                                                             httplib::DataSink& sink) {
                std::string events;
                if (!hub->take(subscriber, std::chrono::seconds(1), events)) {
                    return false;
                }
                if (events.empty()) {
                    // A comment line now and then shows a dropped browser early.
                    if (++*idleSeconds < 15) {
                        return sink.is_writable();
                    }
                    events = ": keep-alive\n\n";
                }
                *idleSeconds = 0;
                return sink.write(events.data(), events.size());
            },
            [hub = hub_, subscriber](bool) { hub->unsubscribe(subscriber); });
    });

    server.Get("/state", [this](const httplib::Request&, httplib::Response& res) {
        json applets = json::array();
        for (const auto& info : store_.applets()) {
            json files = json::array();
            for (const auto& file : info.files) {
                files.push_back({{"name", file.name},
                                 {"size", file.size},
                                 {"fileType", file.fileType},
                                 {"url", fileUrl(info.key, file.name)}});
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
        std::string active;
        store_.withSnapshot([&](const DisplaySnapshot& snapshot) { active = snapshot.activeApplet; });
        res.set_header("Cache-Control", "no-store");
        res.set_content(dumpJson({{"active", active}, {"applets", applets}}), "application/json");
    });

    server.Get("/overview", [this](const httplib::Request&, httplib::Response& res) {
        std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                           "<meta http-equiv=\"refresh\" content=\"5\">"
                           "<title>Applets</title><style>body{font-family:sans-serif;margin:1em}"
                           "table{border-collapse:collapse}td,th{padding:2px 8px;text-align:left}"
                           "img.icon{width:48px;height:48px;vertical-align:middle}</style></head><body>"
                           "<h1>Applets</h1><p><a href=\"/\">Companion display</a></p>";
        const auto applets = store_.applets();
        if (applets.empty()) {
            html += "<p>No applet has registered yet.</p>";
        }
        for (const auto& info : applets) {
            const std::string base = "/applets/" + urlEncode(info.key);
            html += "<section class=\"applet\"><h2>";
            if (info.hasIcon) {
                html += "<img class=\"icon\" alt=\"\" src=\"" + base + "/icon.png\"> ";
            }
            html +=
                htmlEscape(info.friendlyName) + " <small>" + htmlEscape(info.identifier) + "</small></h2>";
            html += "<p>" + std::to_string(info.connections) + " connection(s). Shown page: " +
                    (info.shownPage.empty()
                         ? std::string("none")
                         : "<a href=\"" + base + "/\">" + htmlEscape(info.shownPage) + "</a>") +
                    "</p><table><tr><th>File</th><th>Bytes</th><th>Type</th></tr>";
            for (const auto& file : info.files) {
                html += "<tr><td><a href=\"" + htmlEscape(fileUrl(info.key, file.name)) + "\">" +
                        htmlEscape(file.name) + "</a></td><td>" + std::to_string(file.size) + "</td><td>" +
                        htmlEscape(file.fileType) + "</td></tr>";
            }
            html += "</table></section>";
        }
        html += "</body></html>";
        res.set_header("Cache-Control", "no-store");
        res.set_content(html, "text/html; charset=utf-8");
    });

    // A tap on the shown page, posted by the display page.
    server.Post("/event/tap", [this](const httplib::Request& req, httplib::Response& res) {
        const json body = json::parse(req.body, nullptr, false);
        if (!body.is_object()) {
            res.status = 400;
            return;
        }
        std::string key = body.value("applet", std::string());
        if (key.empty()) {
            store_.withSnapshot([&](const DisplaySnapshot& snapshot) { key = snapshot.activeApplet; });
        }
        json arg{
            {"x", body.value("x", 0)}, {"y", body.value("y", 0)}, {"id", body.value("id", std::string())}};
        std::string text = dumpJson(arg);
        if (text.size() >= kEventArgBytes) {
            arg["id"] = "";
            text = dumpJson(arg); // an id too long to fit is left out rather than cut mid-text
        }
        const auto record = eventRecord(
            kEventTap, 0, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        const int sent = key.empty() ? 0 : sender_.send(key, record);
        res.set_content(dumpJson({{"sent", sent}}), "application/json");
    });

    // Sends any record to applets, for tests and experiments; only from this machine.
    server.Post("/control/send-record", [this](const httplib::Request& req, httplib::Response& res) {
        if (!isLoopback(req.remote_addr)) {
            res.status = 403;
            res.set_content("The control endpoint answers only on this machine.", "text/plain");
            return;
        }
        const json body = json::parse(req.body, nullptr, false);
        if (!body.is_object()) {
            res.status = 400;
            res.set_content("Expected a JSON object.", "text/plain");
            return;
        }
        try {
            std::string key = body.value("applet", std::string());
            if (key.empty()) {
                store_.withSnapshot([&](const DisplaySnapshot& snapshot) { key = snapshot.activeApplet; });
            }
            std::vector<std::uint8_t> record;
            if (body.contains("rawHex")) {
                const std::string hex = body.at("rawHex").get<std::string>();
                if (hex.size() % 2 != 0 || hex.size() > 2 * 65536 ||
                    hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                    throw std::invalid_argument(
                        "rawHex must be an even number of hex digits, at most 64 KiB");
                }
                for (std::size_t i = 0; i < hex.size(); i += 2) {
                    record.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
                }
            } else if (body.value("recordType", 1) == 0) {
                record = keepAliveRecord();
            } else {
                const std::string arg = body.value("arg", std::string());
                record =
                    eventRecord(body.value("eventType", 0), body.value("eventValue", 0),
                                std::span(reinterpret_cast<const std::uint8_t*>(arg.data()), arg.size()));
            }
            const int sent = key.empty() ? 0 : sender_.send(key, record);
            res.set_content(dumpJson({{"sent", sent}}), "application/json");
        } catch (const std::exception& e) {
            res.status = 400;
            res.set_content(std::string("Bad request: ") + e.what(), "text/plain");
        }
    });
}

} // namespace kesh::host
