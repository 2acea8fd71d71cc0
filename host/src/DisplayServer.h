// The companion display over HTTP: the shown page, live changes as
// server-sent events, an overview of the applets, taps and the record
// control. Every request needs the access token (or, for an applet's files,
// that applet's file capability) and must be meant for this host.
#pragma once

#include "AppletStore.h"
#include "EventSender.h"

#include <memory>
#include <string>

namespace httplib {
class Request;
class Response;
} // namespace httplib

namespace kesh::host {

class EventHub;
class HttpListener;

class DisplayServer {
public:
    DisplayServer(AppletStore& store, EventSender& sender);
    ~DisplayServer();
    DisplayServer(const DisplayServer&) = delete;
    DisplayServer& operator=(const DisplayServer&) = delete;

    // Binds to host:port (port 0 picks a free one). False with a reason on failure.
    bool bind(const std::string& host, int port, std::string& problem);
    int port() const;
    // Starts answering; `token` is the access token requests must carry.
    void start(const std::string& token);
    void stop();

private:
    class Routes;
    using Request = httplib::Request;
    using Response = httplib::Response;

    void addRoutes();
    bool admit(const Request& req, Response& res) const;
    void showDisplay(const std::string& follow, Response& res) const;

    void handleDisplay(const Request& req, Response& res) const;
    void handleAppletDisplay(const Request& req, Response& res) const;
    void handleFile(const Request& req, Response& res) const;
    void handleIcon(const Request& req, Response& res) const;
    void handleOverview(const Request& req, Response& res) const;
    void handleState(const Request& req, Response& res) const;
    void handleEvents(const Request& req, Response& res) const;
    void handleTap(const Request& req, Response& res) const;
    void handleSendRecord(const Request& req, Response& res) const;

    std::string activeApplet() const;

    AppletStore& store_;
    EventSender& sender_;
    std::unique_ptr<Routes> routes_;
    std::shared_ptr<EventHub> hub_;
    std::unique_ptr<HttpListener> listener_;
    std::string token_;
};

} // namespace kesh::host
