// The companion display over HTTP: the shown page, live changes as
// server-sent events, an overview of the applets, taps and the record
// control. Every request needs the access token (or, for an applet's files,
// that applet's file capability) and must be meant for this host.
#pragma once

#include "AppletStore.h"
#include "EventSender.h"
#include "HostState.h"

#include <functional>
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
    // Starts answering; `token` is the access token requests must carry,
    // `addresses` where the display is opened (shown with a QR code), and
    // `announcedName` the name the host has on the local network ("" for none).
    void start(const std::string& token, const DisplayAddresses& addresses,
               std::function<std::string()> announcedName = nullptr);
    void stop();

private:
    class Routes;
    using Request = httplib::Request;
    using Response = httplib::Response;

    void addRoutes();
    bool admit(const Request& req, Response& res) const;
    bool isOwnName(const std::string& name, const std::string& localAddress) const;
    void showDisplay(const std::string& follow, Response& res) const;

    void handleDisplay(const Request& req, Response& res) const;
    void handleAppletDisplay(const Request& req, Response& res) const;
    void handleFile(const Request& req, Response& res) const;
    void handleIcon(const Request& req, Response& res) const;
    void handleOverview(const Request& req, Response& res) const;
    void handleAddressCode(const Request& req, Response& res) const;
    void handleManifest(const Request& req, Response& res) const;
    void handleWebIcon(const Request& req, Response& res) const;
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
    DisplayAddresses addresses_;
    std::function<std::string()> announcedName_;
    bool onEveryAddress_ = false;
};

} // namespace kesh::host
