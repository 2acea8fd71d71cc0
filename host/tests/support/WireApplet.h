// An applet in the test's process: sends messages on the host's socket, reads the records back.
#pragma once

#include "WireMessage.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace kesh::test {

using halvtest::u16;
using halvtest::Wire;

class WireApplet {
public:
    explicit WireApplet(const std::string& socketPath)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~WireApplet() { ::close(fd_); }
    WireApplet(const WireApplet&) = delete;
    WireApplet& operator=(const WireApplet&) = delete;

    bool send(const Wire& message) {
        return connected_ && ::send(fd_, message.bytes.data(), message.bytes.size(), MSG_NOSIGNAL) ==
                                 ssize_t(message.bytes.size());
    }
    // Registers; with `icon`, a 144 x 144 icon whose pixel (x, y) is (x, y, x + y, 255).
    bool registration(const std::string& id, const std::string& name, bool icon = false) {
        Wire m(icon ? 3 : 2, 1032);
        m.text(8, u16(id)).text(264, u16(name)).text(520, u16("/usr/bin/test-applet"));
        return send(icon ? m.payload(bitmap(144, 144)) : m);
    }
    bool file(const std::string& name, const std::string& path) {
        return send(Wire(4, 1544).text(8, u16(name)).text(520, u16(path)).text(1032, u16("image/gif")));
    }
    bool content(const std::string& name, const std::string& data) {
        return send(Wire(5, 1032).text(8, u16(name)).payload(data));
    }
    bool image(const std::string& name, int width, int height) {
        return send(
            Wire(6, 528).text(8, u16(name)).u32(520, width).u32(524, height).payload(bitmap(width, height)));
    }
    bool index(const std::string& name) { return send(Wire(7, 520).text(8, u16(name))); }
    bool property(bool byClass, const std::string& tag, const std::string& property,
                  const std::string& value) {
        return send(
            Wire(8, 780).u32(8, byClass).text(12, u16(tag)).text(268, u16(property)).text(524, u16(value)));
    }
    bool tagContent(bool byClass, const std::string& tag, const std::string& html) {
        return send(Wire(9, 268).u32(8, byClass).text(12, u16(tag)).payload(html));
    }

    // The next event record (keep-alives skipped) as "record <type> <value> <argument text>".
    std::optional<std::string> readRecord(int timeoutMs = 10000) {
        std::vector<std::uint8_t> record;
        while (record.size() < 16 || (record[0] == 1 && record.size() < 272)) {
            pollfd p{fd_, POLLIN, 0};
            std::uint8_t byte = 0;
            if (::poll(&p, 1, timeoutMs) <= 0 || ::recv(fd_, &byte, 1, 0) != 1) {
                return std::nullopt;
            }
            record.push_back(byte);
            if (record.size() == 16 && record[0] == 0) {
                record.clear();
            }
        }
        const auto i32 = [&](std::size_t at) {
            return std::int32_t(record[at] | record[at + 1] << 8 | record[at + 2] << 16 |
                                record[at + 3] << 24);
        };
        const char* arg = reinterpret_cast<const char*>(record.data()) + 16;
        return "record " + std::to_string(i32(8)) + " " + std::to_string(i32(12)) + " " +
               std::string(arg, ::strnlen(arg, 256));
    }

    // Whether the host closes the connection within the time.
    bool closedByHost(int timeoutMs = 10000) {
        pollfd p{fd_, POLLIN, 0};
        char byte = 0;
        return ::poll(&p, 1, timeoutMs) > 0 && ::recv(fd_, &byte, 1, MSG_PEEK) == 0;
    }

    static std::string bitmap(int width, int height) {
        std::string rgba;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                rgba += {char(x), char(y), char(x + y), char(255)};
            }
        }
        return rgba;
    }

private:
    int fd_;
    bool connected_ = false;
};

} // namespace kesh::test
