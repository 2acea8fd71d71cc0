#include "ServiceAnnouncer.h"

#include "Log.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <cstdint>
#include <utility>

namespace kesh::host {

namespace {

// A DNS-SD instance name is one label: at most 63 bytes.
constexpr std::size_t kMaxServiceName = 63;

} // namespace

void ServiceAnnouncer::start(int port, bool ipv6) {
    port_ = port;
    ipv6_ = ipv6;
    poll_ = avahi_threaded_poll_new();
    int error = 0;
    // The first state arrives from within this call, before the poll thread runs.
    client_ = poll_ == nullptr
                  ? nullptr
                  : avahi_client_new(
                        avahi_threaded_poll_get(poll_), AvahiClientFlags(0),
                        [](AvahiClient* c, AvahiClientState s, void* self) { onClientState(c, s, self); },
                        this, &error);
    if (client_ == nullptr) {
        report(std::string("not announced on the local network (mDNS): ") + avahi_strerror(error) +
               "; open the printed address or scan its code");
        stop();
        return;
    }
    avahi_threaded_poll_start(poll_);
}

void ServiceAnnouncer::stop() {
    if (poll_ != nullptr) {
        avahi_threaded_poll_stop(poll_);
    }
    if (client_ != nullptr) {
        avahi_client_free(client_); // frees the entry group as well
        client_ = nullptr;
        group_ = nullptr;
    }
    if (poll_ != nullptr) {
        avahi_threaded_poll_free(poll_);
        poll_ = nullptr;
    }
    const std::lock_guard lock(mutex_);
    hostName_.clear();
}

std::string ServiceAnnouncer::hostName() const {
    const std::lock_guard lock(mutex_);
    return hostName_;
}

void ServiceAnnouncer::report(const std::string& line) {
    if (!std::exchange(reported_, true)) {
        logLine(line);
    }
}

void ServiceAnnouncer::onClientState(AvahiClient* client, int state, void* self) {
    auto& announcer = *static_cast<ServiceAnnouncer*>(self);
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING: {
        const std::lock_guard lock(announcer.mutex_);
        announcer.hostName_ = avahi_client_get_host_name_fqdn(client);
    }
        announcer.publish(client);
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The machine's own name is being (re)chosen; the service follows once it is.
        if (announcer.group_ != nullptr) {
            avahi_entry_group_reset(announcer.group_);
        }
        break;
    case AVAHI_CLIENT_FAILURE: {
        const std::lock_guard lock(announcer.mutex_);
        announcer.hostName_.clear();
    }
        announcer.report(std::string("the local network announcement (mDNS) ended: ") +
                         avahi_strerror(avahi_client_errno(client)));
        break;
    default:
        break;
    }
}

void ServiceAnnouncer::onGroupState(AvahiEntryGroup* group, int state, void* self) {
    auto& announcer = *static_cast<ServiceAnnouncer*>(self);
    if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        logLine("announced on the local network as \"" + announcer.serviceName_ + "\" (http://" +
                announcer.hostName() + ":" + std::to_string(announcer.port_) + "/)");
    } else if (state == AVAHI_ENTRY_GROUP_COLLISION) {
        // Another machine has the name: take the next one ("... #2").
        char* next = avahi_alternative_service_name(announcer.serviceName_.c_str());
        announcer.serviceName_ = next;
        avahi_free(next);
        announcer.publish(avahi_entry_group_get_client(group));
    } else if (state == AVAHI_ENTRY_GROUP_FAILURE) {
        announcer.report(std::string("not announced on the local network (mDNS): ") +
                         avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(group))));
    }
}

void ServiceAnnouncer::publish(AvahiClient* client) {
    if (serviceName_.empty()) {
        serviceName_ = std::string("Kesh Vistrel on ") + avahi_client_get_host_name(client);
        if (serviceName_.size() > kMaxServiceName) {
            // Cut before the character that would not fit whole.
            std::size_t end = kMaxServiceName;
            while (end > 0 && (static_cast<unsigned char>(serviceName_[end]) & 0xC0) == 0x80) {
                --end;
            }
            serviceName_.resize(end);
        }
    }
    if (group_ == nullptr) {
        group_ = avahi_entry_group_new(
            client, [](AvahiEntryGroup* g, AvahiEntryGroupState s, void* self) { onGroupState(g, s, self); },
            this);
    } else {
        avahi_entry_group_reset(group_);
    }
    const int error = group_ == nullptr
                          ? avahi_client_errno(client)
                          : avahi_entry_group_add_service(
                                group_, AVAHI_IF_UNSPEC, ipv6_ ? AVAHI_PROTO_UNSPEC : AVAHI_PROTO_INET,
                                AvahiPublishFlags(0), serviceName_.c_str(), "_http._tcp", nullptr, nullptr,
                                static_cast<std::uint16_t>(port_), "path=/", nullptr);
    if (error < 0 || avahi_entry_group_commit(group_) < 0) {
        report(std::string("not announced on the local network (mDNS): ") +
               avahi_strerror(error < 0 ? error : avahi_client_errno(client)));
    }
}

} // namespace kesh::host
