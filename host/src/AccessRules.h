// The checks every HTTP request passes before the display answers it: the
// access token, whether it was meant for this host at all (Host), and
// whether a page of this host sent it (Origin, content type).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kesh::host {

// The cookie that carries the access token once a browser has opened an address with it.
inline constexpr const char* kTokenCookie = "kesh_token";

// Whether a Host header names this display: "localhost", or a name that
// `isOwnName` (given it in lower case) knows as one of the host's own, with
// the display's port. Anything else is a request meant for another site
// (DNS rebinding).
bool hostNamesDisplay(std::string_view host, int port,
                      const std::function<bool(const std::string&)>& isOwnName);

// Whether an Origin header is the display's own, for a Host header that names it.
bool originIsDisplay(std::string_view origin, std::string_view host);

// A cookie's value from a Cookie header; "" when it is not there.
std::string cookieValue(std::string_view cookies, std::string_view name);

// Compares two secrets in a time that does not tell how much of them matched.
bool sameSecret(std::string_view a, std::string_view b);

bool isJsonContentType(std::string_view contentType);
bool isLoopbackAddress(std::string_view address);

} // namespace kesh::host
