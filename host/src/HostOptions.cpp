#include "HostOptions.h"

#include <charconv>
#include <cstdlib>

namespace kesh::host {

namespace {

constexpr int kHighestPort = 65535;
// The longest gap between keep-alive records that may be asked for: a day.
constexpr int kLongestKeepAliveSeconds = 24 * 60 * 60;

bool parseInt(const std::string& text, int low, int high, int& out) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

// $variable when it is an absolute path, else ~/<underHome>.
std::filesystem::path userFolder(const char* variable, const char* underHome) {
    if (const char* xdg = std::getenv(variable); xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/tmp") / underHome;
}

} // namespace

std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& args, std::string& problem) {
    HostOptions options;
    const auto dataHome = userFolder("XDG_DATA_HOME", ".local/share");
    // Where the SDK looks for its host.
    options.socketPath = dataHome / "Halvorin" / "TAMBER_GAMEAPP_SDK";
    options.dataFolder = dataHome / "kesh-host";
    options.stateFolder = userFolder("XDG_STATE_HOME", ".local/state") / "kesh-host";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto next = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                problem = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string value;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--new-token") {
            options.newToken = true;
        } else if (arg == "--lan") {
            options.httpHost = "0.0.0.0"; // a later --http replaces it
        } else if (arg == "--state") {
            if (!next(value)) {
                return std::nullopt;
            }
            options.stateFolder = value;
        } else if (arg == "--socket") {
            if (!next(value)) {
                return std::nullopt;
            }
            options.socketPath = value;
        } else if (arg == "--data") {
            if (!next(value)) {
                return std::nullopt;
            }
            options.dataFolder = value;
        } else if (arg == "--http") {
            if (!next(value)) {
                return std::nullopt;
            }
            const auto colon = value.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !parseInt(value.substr(colon + 1), 0, kHighestPort, options.httpPort)) {
                problem = "--http needs HOST:PORT, for example 127.0.0.1:0";
                return std::nullopt;
            }
            options.httpHost = value.substr(0, colon);
            if (options.httpHost.size() > 2 && options.httpHost.front() == '[' &&
                options.httpHost.back() == ']') {
                options.httpHost = options.httpHost.substr(1, options.httpHost.size() - 2);
            }
        } else if (arg == "--keepalive") {
            if (!next(value) || !parseInt(value, 0, kLongestKeepAliveSeconds, options.keepAliveSeconds)) {
                problem = "--keepalive needs a number of seconds from 0 to 86400";
                return std::nullopt;
            }
        } else {
            problem = "unknown option " + arg;
            return std::nullopt;
        }
    }
    return options;
}

} // namespace kesh::host
