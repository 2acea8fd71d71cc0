// The SDK inside an applet when the host fails around it: killed in the middle
// of a large push, never reading, or sending garbage. The applet must survive,
// its calls must return, and ShutDown must return.
#include "HalvorinKeshControl.h"
#include "ReliabilitySupport.h"
#include "TestHost.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <vector>

namespace kv::reliability {
namespace {

bool initSdk(halvKeshCbContext* callbacks = nullptr) {
    return HalvKeshInit(CFSTR("com.example.reliability"), CFSTR("Reliability"), callbacks);
}

void pushMegabyte(const char* name) {
    const std::vector<unsigned char> content(1 << 20, 0x5A);
    CFStringRef fileName = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
    HalvKeshAddContentAs(content.data(), static_cast<int>(content.size()), fileName, CFSTR(""));
    CFRelease(fileName);
}

// Whether a thread of this process is blocked (state S in its stat line).
bool isAsleep(pid_t thread) {
    if (thread == 0)
        return false;
    const std::string stat = readFile("/proc/self/task/" + std::to_string(thread) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S';
}

class SdkUnderFaults : public ::testing::Test {
protected:
    ~SdkUnderFaults() override { HalvKeshShutdown(); }
};

// A host in another process: it listens where the SDK looks, reads, and
// reports on a pipe once it has taken `reportAfter` bytes, then reads on until
// it is killed.
class HostProcess {
public:
    explicit HostProcess(std::size_t reportAfter) {
        setenv("XDG_DATA_HOME", folder_.path().c_str(), 1);
        const auto socketFolder = folder_.path() / "Halvorin";
        std::filesystem::create_directories(socketFolder);
        const std::string path = (socketFolder / "TAMBER_GAMEAPP_SDK").string();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener, 4), 0);
        EXPECT_EQ(pipe(report_), 0);
        pid_ = forkChild([&] {
            const int client = accept(listener, nullptr, nullptr);
            std::vector<char> buffer(65536);
            std::size_t taken = 0;
            bool reported = false;
            for (;;) {
                const ssize_t n = recv(client, buffer.data(), buffer.size(), 0);
                if (n <= 0)
                    return 0;
                taken += static_cast<std::size_t>(n);
                if (!reported && taken >= reportAfter) {
                    reported = write(report_[1], "x", 1) == 1;
                }
            }
        });
        close(listener);
        close(report_[1]);
    }
    ~HostProcess() {
        kill(pid_, SIGKILL);
        waitForChild(pid_);
        close(report_[0]);
    }
    // Blocks until the host has taken its bytes (false if it ended first).
    bool waitForReport() {
        char byte = 0;
        return read(report_[0], &byte, 1) == 1;
    }
    void killNow() { kill(pid_, SIGKILL); }

private:
    TemporaryFolder folder_;
    int report_[2] = {-1, -1};
    pid_t pid_ = -1;
};

TEST_F(SdkUnderFaults, HostKilledInTheMiddleOfAMegabytePushLeavesTheAppletRunningAndShutDownReturns) {
    HostProcess host(256 * 1024);
    ASSERT_TRUE(initSdk());
    std::thread killer([&] {
        if (host.waitForReport())
            host.killNow();
    });
    finishesWithin(
        kGenerousDeadline, [] { pushMegabyte("big.bin"); }, "a push to a killed host");
    killer.join();
    // Calls after the host died neither crash nor raise SIGPIPE.
    finishesWithin(
        kGenerousDeadline, [] { pushMegabyte("after.bin"); }, "a push after the host died");
    HalvKeshSetIndex(CFSTR("big.bin"));
    finishesWithin(
        kGenerousDeadline, [] { HalvKeshShutdown(); }, "ShutDown after the host died");
    EXPECT_FALSE(initSdk()) << "nobody listens any more";
    EXPECT_EQ(HalvKeshGetLastError(), 6);
}

TEST_F(SdkUnderFaults, HostThatNeverReadsBlocksSendersButShutDownStillReturnsAndReleasesThem) {
    halvtest::TestHost host;
    ASSERT_TRUE(initSdk());
    ASSERT_TRUE(host.waitForMessages(1, kGenerousDeadline));
    host.pauseReading(true);

    // Four megabytes overrun the ring buffer and the socket's own buffers, so
    // the sender blocks until ShutDown gives up on the host.
    std::atomic<pid_t> senderThread{0};
    std::atomic<bool> senderDone{false};
    std::thread sender([&] {
        senderThread = gettid();
        for (int i = 0; i < 4; ++i)
            pushMegabyte("stuck.bin");
        senderDone = true;
    });
    // ShutDown comes only once the sender sleeps inside a push.
    const auto end = std::chrono::steady_clock::now() + kGenerousDeadline;
    while (!senderDone && !isAsleep(senderThread) && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
    EXPECT_FALSE(senderDone) << "the host took four megabytes without reading";
    finishesWithin(
        kGenerousDeadline, [] { HalvKeshShutdown(); }, "ShutDown with a host that never reads");
    finishesWithin(
        kGenerousDeadline, [&] { sender.join(); }, "a sender blocked on a full ring buffer");
    EXPECT_TRUE(senderDone);
    EXPECT_FALSE(HalvKeshSetIndex(CFSTR("stuck.bin")));
    EXPECT_EQ(HalvKeshGetLastError(), 4) << "not initialised after ShutDown";
    host.pauseReading(false);
}

struct Received {
    std::atomic<int> events{0};
    std::atomic<unsigned> argumentSum{0};
};

void countEvent(int, int, void* arg, void* context) {
    auto* received = static_cast<Received*>(context);
    unsigned sum = 0;
    for (int i = 0; i < 256; ++i)
        sum += static_cast<const unsigned char*>(arg)[i];
    received->argumentSum += sum;
    ++received->events;
}

// Runs the calling thread's main context, where the SDK reads host records.
template <typename Done> bool pumpUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + kGenerousDeadline;
    while (!done() && std::chrono::steady_clock::now() < end) {
        GSource* tick = g_timeout_source_new(10);
        g_source_set_callback(
            tick, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        g_source_destroy(tick);
        g_source_unref(tick);
    }
    return done();
}

TEST_F(SdkUnderFaults, GarbageFromTheHostNeverStopsTheAppletFromSending) {
    halvtest::TestHost host;
    Received received;
    halvKeshCbContext callbacks{countEvent, &received};
    ASSERT_TRUE(initSdk(&callbacks));
    ASSERT_TRUE(host.waitForMessages(1, kGenerousDeadline));

    std::mt19937 random(20261206);
    std::vector<uint8_t> garbage(256 * 1024);
    for (auto& byte : garbage)
        byte = static_cast<uint8_t>(random());
    // Random bytes almost never hold the record type 1. Records start at
    // multiples of 16 whatever their types, so type 1 planted every 4096 bytes
    // gives exactly one event each, with garbage numbers and arguments.
    for (std::size_t at = 0; at < garbage.size(); at += 4096)
        std::memcpy(&garbage[at], "\x01\x00\x00\x00", 4);
    // In pieces, with the reader running between them: a host's send blocks
    // once the socket is full.
    for (std::size_t at = 0; at < garbage.size(); at += 16384) {
        ASSERT_TRUE(host.sendRaw({garbage.begin() + static_cast<std::ptrdiff_t>(at),
                                  garbage.begin() + static_cast<std::ptrdiff_t>(at + 16384)}));
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    EXPECT_TRUE(pumpUntil([&] { return received.events >= 64; }));
    EXPECT_EQ(received.events, 64);

    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("still-sending.html")));
    ASSERT_TRUE(host.waitForMessages(2, kGenerousDeadline));
    EXPECT_EQ(host.messages().back().fileName(), "still-sending.html");

    host.closeClient();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    finishesWithin(
        kGenerousDeadline, [] { HalvKeshShutdown(); }, "ShutDown after garbage");
}

} // namespace
} // namespace kv::reliability
