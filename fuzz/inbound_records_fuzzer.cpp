// Feeds arbitrary bytes from a host to the SDK's inbound record reader over a
// real socket. Property: every complete record is consumed in order (type 1:
// 272 bytes and one callback with its numbers and a readable 256-byte argument
// area; any other type: 16 bytes, no callback), nothing is read outside the
// receive buffer, and the reader ends once the host closes its end.
#include "HalvorinKeshControl.h"
#include "cTamberConnection.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct Event {
    int type;
    int value;
    bool operator==(const Event&) const = default;
};

std::vector<Event> g_seen;
int g_listener = -1;

void onEvent(int eventType, int eventValue, void* eventArg, void*) {
    // Touch the whole argument area, so an area that runs past the receive
    // buffer shows up under the address sanitizer.
    const auto* arg = static_cast<const volatile unsigned char*>(eventArg);
    unsigned sum = 0;
    for (int i = 0; i < 256; ++i)
        sum += arg[i];
    (void)sum;
    g_seen.push_back({eventType, eventValue});
}

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

// A listening socket where the SDK looks for its host, and an Init with a
// callback so that the reader dispatches events; once per process.
bool setUp() {
    const char* tmp = std::getenv("TMPDIR");
    static std::string folder =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/kv-inbound-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return false;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    setenv("XDG_DATA_HOME", folder.c_str(), 1);
    mkdir((folder + "/Halvorin").c_str(), 0700);
    const std::string path = cTamberConnection::socketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    g_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bind(g_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(g_listener, 8) != 0)
        return false;
    halvKeshCbContext context{onEvent, nullptr};
    if (!HalvKeshInit(CFSTR("fuzz.inbound"), CFSTR("Inbound fuzz"), &context))
        return false;
    // Keep Init's own connection open and unread for the life of the process.
    return accept(g_listener, nullptr, nullptr) >= 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = setUp();
    if (!ready)
        std::abort();

    cTamberConnection connection;
    if (!connection.connectToPipe())
        std::abort();
    const int host = accept(g_listener, nullptr, nullptr);
    if (host < 0)
        std::abort();
    fcntl(host, F_SETFL, fcntl(host, F_GETFL) | O_NONBLOCK);

    g_seen.clear();
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
        open = connection.read();
    }
    close(host);
    // After the host's end is closed the reader must see the end, not stall.
    for (int turn = 0; open; ++turn) {
        if (turn > 1000)
            std::abort();
        open = connection.read();
    }
    if (g_seen != expectedEvents(data, size))
        std::abort();
    return 0;
}
