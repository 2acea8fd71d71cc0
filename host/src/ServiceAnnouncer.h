// Announces the display on the local network over mDNS/DNS-SD (_http._tcp,
// "Kesh Vistrel on <host name>") through the Avahi daemon, so that a phone's
// browser or a service browser finds it by name. Without a daemon it says so
// once and the host goes on without it.
#pragma once

#include <mutex>
#include <string>

struct AvahiThreadedPoll;
struct AvahiClient;
struct AvahiEntryGroup;

namespace kesh::host {

class ServiceAnnouncer {
public:
    ServiceAnnouncer() = default;
    ~ServiceAnnouncer() { stop(); }
    ServiceAnnouncer(const ServiceAnnouncer&) = delete;
    ServiceAnnouncer& operator=(const ServiceAnnouncer&) = delete;

    // Announces the display's `port`, over IPv4, and over IPv6 as well when `ipv6`.
    void start(int port, bool ipv6);
    void stop();

    // The name this machine answers to on the local network ("desk.local"),
    // "" while nothing is announced.
    std::string hostName() const;

private:
    static void onClientState(AvahiClient* client, int state, void* self);
    static void onGroupState(AvahiEntryGroup* group, int state, void* self);
    void publish(AvahiClient* client);
    void report(const std::string& line);

    AvahiThreadedPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    AvahiEntryGroup* group_ = nullptr;
    std::string serviceName_;
    int port_ = 0;
    bool ipv6_ = false;
    bool reported_ = false; // a failure is logged once

    mutable std::mutex mutex_;
    std::string hostName_;
};

} // namespace kesh::host
