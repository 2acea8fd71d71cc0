// The command line of kesh-host.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kesh::host {

struct HostOptions {
    std::filesystem::path socketPath;
    std::filesystem::path dataFolder;
    std::filesystem::path stateFolder;
    std::string httpHost = "127.0.0.1";
    int httpPort = 8765;
    int keepAliveSeconds = 5;
    bool verbose = false;
    bool newToken = false;
    bool help = false;
};

inline constexpr const char* kUsage =
    "Usage: kesh-host [options]\n"
    "Companion host: takes the pages applets send over the SDK socket and shows them\n"
    "on a web page that a phone, a tablet or a desktop browser opens.\n"
    "\n"
    "  --socket PATH        listen on PATH (default: <XDG_DATA_HOME or "
    "~/.local/share>/Halvorin/TAMBER_GAMEAPP_SDK)\n"
    "  --data DIR           store applets' files under DIR (default: <XDG_DATA_HOME or "
    "~/.local/share>/kesh-host)\n"
    "  --state DIR          keep the access token and display.json in DIR (default: <XDG_STATE_HOME or "
    "~/.local/state>/kesh-host)\n"
    "  --new-token          replace the access token (every browser must open the new address)\n"
    "  --http HOST:PORT     serve the display there (default 127.0.0.1:8765; port 0 picks a free port)\n"
    "  --lan                serve the display to phones and tablets on this machine's networks too:\n"
    "                       on every address (0.0.0.0) at the port of an earlier --http (default 8765);\n"
    "                       prints each address and a QR code of the best one\n"
    "  --keepalive SECONDS  send a keep-alive record every SECONDS (default 5; 0: never)\n"
    "  -v, --verbose        log one line per message received\n"
    "  -h, --help           show this help\n";

// Parses the arguments after the program name; nullopt with a reason on a mistake.
std::optional<HostOptions> parseHostOptions(const std::vector<std::string>& args, std::string& problem);

} // namespace kesh::host
