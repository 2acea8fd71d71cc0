// The companion display over HTTP: the shown page, live changes as
// server-sent events, an overview of the applets, taps and the record control.
#pragma once

#include "AppletStore.h"
#include "EventSender.h"

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace kesh::host {

class EventHub;

class DisplayServer {
public:
    DisplayServer(AppletStore& store, EventSender& sender);
    ~DisplayServer();
    DisplayServer(const DisplayServer&) = delete;
    DisplayServer& operator=(const DisplayServer&) = delete;

    // Binds to host:port (port 0 picks a free one). False with a reason on failure.
    bool bind(const std::string& host, int port, std::string& problem);
    int port() const { return port_; }
    void start();
    void stop();

private:
    void addRoutes();

    AppletStore& store_;
    EventSender& sender_;
    std::unique_ptr<httplib::Server> server_;
    std::shared_ptr<EventHub> hub_;
    int port_ = 0;
    std::thread thread_;
};

// The display page, with the applet it follows ("" follows whichever applet
// last chose a page) and the address of the page to show first.
std::string renderDisplayPage(const std::string& followKey, const std::string& firstPageUrl);
// The address under which a stored file is served.
std::string fileUrl(const std::string& appletKey, const std::string& fileName);

} // namespace kesh::host
