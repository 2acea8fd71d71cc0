#include "AccessRules.h"

#include "AsciiText.h"

#include <charconv>

namespace kesh::host {

namespace {

// What a Host header without a port names.
constexpr int kHttpPort = 80;

} // namespace

bool hostNamesDisplay(std::string_view host, int port,
                      const std::function<bool(const std::string&)>& isOwnName) {
    std::string_view name = host;
    std::string_view portText;
    if (host.starts_with('[')) {
        const auto close = host.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        name = host.substr(1, close - 1);
        portText = host.substr(close + 1);
    } else if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
        name = host.substr(0, colon);
        portText = host.substr(colon);
    }
    int given = kHttpPort;
    if (!portText.empty()) {
        const auto digits = portText.substr(1);
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), given);
        if (!portText.starts_with(':') || ec != std::errc() || end != digits.data() + digits.size()) {
            return false;
        }
    }
    const std::string lowered = asciiLower(name);
    return given == port && !name.empty() && (lowered == "localhost" || isOwnName(lowered));
}

bool originIsDisplay(std::string_view origin, std::string_view host) {
    return asciiLower(origin) == "http://" + asciiLower(host);
}

std::string cookieValue(std::string_view cookies, std::string_view name) {
    while (!cookies.empty()) {
        const auto end = cookies.find(';');
        const std::string_view pair = trimBlanks(cookies.substr(0, end));
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos && trimBlanks(pair.substr(0, equals)) == name) {
            return std::string(trimBlanks(pair.substr(equals + 1)));
        }
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
    }
    return "";
}

bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size() || a.empty()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

bool isJsonContentType(std::string_view contentType) {
    return asciiLower(trimBlanks(contentType.substr(0, contentType.find(';')))) == "application/json";
}

bool isLoopbackAddress(std::string_view address) {
    return address == "::1" || address.starts_with("127.");
}

} // namespace kesh::host
