#include "HostState.h"

#include "Log.h"
#include "NetworkAddresses.h"
#include "PrivateFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace kesh::host {

namespace {

constexpr std::size_t kTokenBytes = 16; // 128 random bits
// A token file is its hex digits and a line end; anything much longer is not one.
constexpr std::size_t kLargestTokenFile = 256;

bool isToken(const std::string& text) {
    return text.size() == 2 * kTokenBytes && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string address(const std::string& host, int port, const std::string& token) {
    const bool v6 = host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/?token=" + token;
}

} // namespace

DisplayAddresses displayAddresses(const std::string& host, int port, const std::string& token) {
    DisplayAddresses result;
    result.port = port;
    // A listener on every address is reached from this machine on loopback.
    const std::string local = host == "0.0.0.0" ? "127.0.0.1" : host == "::" ? "::1" : host;
    result.localUrl = address(local, port, token);
    for (const auto& ip : networkAddresses(host)) {
        result.addresses.push_back(address(ip, port, token));
    }
    result.onNetwork = !result.addresses.empty();
    result.url = result.onNetwork ? result.addresses.front() : result.localUrl;
    if (std::find(result.addresses.begin(), result.addresses.end(), result.localUrl) ==
        result.addresses.end()) {
        result.addresses.push_back(result.localUrl);
    }
    return result;
}

bool HostState::open(bool newToken, std::string& problem) {
    if (!preparePrivateFolder(folder_, problem)) {
        return false;
    }
    const auto path = folder_ / "token";
    std::string readProblem;
    if (!newToken) {
        if (auto text = readRegularFile(path, kLargestTokenFile, false, readProblem)) {
            text->erase(text->find_last_not_of(" \t\r\n") + 1);
            if (isToken(*text)) {
                token_ = *text;
                ::chmod(path.c_str(), 0600);
                return true;
            }
            logLine(path.string() + " does not hold a token; making a new one");
        }
    }
    token_ = randomHex(kTokenBytes);
    return writeFileAtomically(folder_, path, bytesOf(token_), problem);
}

bool HostState::publish(const DisplayAddresses& addresses, std::string& problem) {
    const nlohmann::json info{
        {"pid", ::getpid()},    {"port", addresses.port},         {"token", token_},
        {"url", addresses.url}, {"localUrl", addresses.localUrl}, {"addresses", addresses.addresses}};
    published_ = writeFileAtomically(folder_, folder_ / "display.json", bytesOf(info.dump()), problem);
    return published_;
}

void HostState::withdraw() {
    if (published_) {
        ::unlink((folder_ / "display.json").c_str());
        published_ = false;
    }
}

} // namespace kesh::host
