#include "NetworkAddresses.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <set>
#include <sstream>

namespace kesh::host {

namespace {

struct Candidate {
    std::string text;
    int family = AF_INET;
    int rank = 0;
};

// The interfaces that hold a default route: a phone on the local network is
// most likely on one of them.
std::set<std::string> defaultRouteInterfaces() {
    std::set<std::string> names;
    std::ifstream v4("/proc/net/route");
    std::string line;
    while (std::getline(v4, line)) {
        std::istringstream fields(line);
        std::string name;
        std::string destination;
        fields >> name >> destination;
        if (destination == "00000000") {
            names.insert(name);
        }
    }
    std::ifstream v6("/proc/net/ipv6_route");
    while (std::getline(v6, line)) {
        std::istringstream fields(line);
        std::string destination;
        std::string prefix;
        std::string skipped;
        std::string name;
        fields >> destination >> prefix;
        for (int i = 0; i < 7 && fields >> skipped; ++i) {
        }
        fields >> name;
        if (prefix == "00" && destination == std::string(32, '0') && name != "lo") {
            names.insert(name);
        }
    }
    return names;
}

bool isLinkLocal(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const auto ip = ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
        return (ip >> 16) == 0xA9FE; // 169.254.0.0/16
    }
    const auto& ip = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    return IN6_IS_ADDR_LINKLOCAL(&ip) || IN6_IS_ADDR_V4MAPPED(&ip);
}

std::string numeric(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* bytes =
        address->sa_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    ::inet_ntop(address->sa_family, bytes, text, sizeof text);
    return text;
}

// Calls `use` with each address of an interface that is up.
template <typename Use> void forEachInterfaceAddress(Use use) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && (entry->ifa_flags & IFF_UP) != 0 &&
            (entry->ifa_addr->sa_family == AF_INET || entry->ifa_addr->sa_family == AF_INET6)) {
            use(*entry);
        }
    }
    ::freeifaddrs(list);
}

} // namespace

bool isWildcardAddress(std::string_view host) {
    return host == "0.0.0.0" || host == "::";
}

bool isLoopbackHost(std::string_view host) {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

std::vector<std::string> networkAddresses(const std::string& host) {
    if (!isWildcardAddress(host)) {
        return isLoopbackHost(host) ? std::vector<std::string>{} : std::vector<std::string>{host};
    }
    const auto routed = defaultRouteInterfaces();
    std::vector<Candidate> found;
    forEachInterfaceAddress([&](const ifaddrs& entry) {
        const int family = entry.ifa_addr->sa_family;
        if ((entry.ifa_flags & IFF_LOOPBACK) != 0 || isLinkLocal(entry.ifa_addr) ||
            (family == AF_INET6 && host != "::")) {
            return;
        }
        std::error_code ignored;
        const bool device = std::filesystem::exists(
            std::filesystem::path("/sys/class/net") / entry.ifa_name / "device", ignored);
        found.push_back({numeric(entry.ifa_addr), family,
                         routed.contains(entry.ifa_name) ? 0
                         : device                        ? 1
                                                         : 2});
    });
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return std::pair(a.family != AF_INET, a.rank) < std::pair(b.family != AF_INET, b.rank);
    });
    std::vector<std::string> addresses;
    for (const auto& candidate : found) {
        if (std::find(addresses.begin(), addresses.end(), candidate.text) == addresses.end()) {
            addresses.push_back(candidate.text);
        }
    }
    return addresses;
}

bool isInterfaceAddress(std::string_view name) {
    const std::string text(name);
    in6_addr v6{};
    in_addr v4{};
    const bool isV4 = ::inet_pton(AF_INET, text.c_str(), &v4) == 1;
    if (!isV4 && ::inet_pton(AF_INET6, text.c_str(), &v6) != 1) {
        return false;
    }
    bool found = false;
    forEachInterfaceAddress([&](const ifaddrs& entry) {
        if (isV4 && entry.ifa_addr->sa_family == AF_INET) {
            found =
                found || reinterpret_cast<const sockaddr_in*>(entry.ifa_addr)->sin_addr.s_addr == v4.s_addr;
        } else if (!isV4 && entry.ifa_addr->sa_family == AF_INET6) {
            const auto& own = reinterpret_cast<const sockaddr_in6*>(entry.ifa_addr)->sin6_addr;
            found = found || std::memcmp(&own, &v6, sizeof v6) == 0;
        }
    });
    return found;
}

} // namespace kesh::host
