// Feeds arbitrary bytes from a host to the SDK's inbound record reader over a
// real socket pair. Property: every complete record is consumed in order (type 1:
// 272 bytes and one callback with its numbers and a readable 256-byte argument
// area; any other type: 16 bytes, no callback), nothing is read outside the
// receive buffer, and the reader ends once the host closes its end.
#include "core/InboundRecords.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

struct Event {
    int type;
    int value;
    bool operator==(const Event&) const = default;
};

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// The records a reader must report for `data`, worked out independently.
std::vector<Event> expectedEvents(const std::uint8_t* data, std::size_t size) {
    std::vector<Event> events;
    std::size_t at = 0;
    while (size - at >= 8) {
        if (littleEndian32(data + at) == 1) {
            if (size - at < 272)
                break;
            events.push_back({static_cast<int>(littleEndian32(data + at + 8)),
                              static_cast<int>(littleEndian32(data + at + 12))});
            at += 272;
        } else {
            if (size - at < 16)
                break;
            at += 16;
        }
    }
    return events;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        std::abort();
    const int host = ends[0];
    const int reader = ends[1];
    fcntl(host, F_SETFL, fcntl(host, F_GETFL) | O_NONBLOCK);

    std::vector<Event> seen;
    InboundRecords records([&](int eventType, int eventValue, unsigned char* eventArg) {
        // Touch the whole argument area, so an area that runs past the
        // receive buffer shows up under the address sanitizer.
        const auto* arg = static_cast<const volatile unsigned char*>(eventArg);
        unsigned sum = 0;
        for (int i = 0; i < 256; ++i)
            sum += arg[i];
        (void)sum;
        seen.push_back({eventType, eventValue});
        return true;
    });
    std::size_t sent = 0;
    bool open = true;
    // Alternate host writes with reader turns, so that records arrive split
    // at whatever points the socket chooses.
    while (sent < size && open) {
        const ssize_t n = send(host, data + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            std::abort();
        open = records.drain(reader) == InboundRecords::Drained::waiting;
    }
    close(host);
    // After the host's end is closed the reader must see the end, not stall.
    for (int turn = 0; open; ++turn) {
        if (turn > 1000)
            std::abort();
        open = records.drain(reader) == InboundRecords::Drained::waiting;
    }
    close(reader);
    if (seen != expectedEvents(data, size))
        std::abort();
    return 0;
}
