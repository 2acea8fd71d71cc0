// The addresses this machine has on its networks: where a phone on the same
// network reaches the display, and which names in a request's Host header
// are this machine's own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kesh::host {

// Whether a listener on `host` takes connections on every address ("0.0.0.0" or "::").
bool isWildcardAddress(std::string_view host);
bool isLoopbackHost(std::string_view host);

// The numeric addresses a phone could open for a listener on `host`, best
// first: for "0.0.0.0" every IPv4 address of an interface that is up, for
// "::" those and then every IPv6 one, for another address that address.
// Loopback and link-local addresses are left out (a browser cannot open an
// IPv6 link-local address, and a phone is rarely on an IPv4 one). Best: the
// interface that holds the default route, then interfaces of a device
// (not a bridge or a tunnel), IPv4 before IPv6.
std::vector<std::string> networkAddresses(const std::string& host);

// Whether `name` is the numeric address of one of this machine's interfaces now.
bool isInterfaceAddress(std::string_view name);

} // namespace kesh::host
