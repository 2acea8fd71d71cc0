// Event records from the host reach the applet's callback on the GLib main
// context of the thread that called Init.
#include "SdkTestSupport.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace halvtest;

namespace {

struct Event {
    int type;
    int value;
    std::vector<uint8_t> arg;
    void* context;
    std::thread::id thread;
};

struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Event> events;

    static void callback(int type, int value, void* arg, void* context) {
        auto* self = static_cast<Recorder*>(context);
        const auto* bytes = static_cast<const uint8_t*>(arg);
        std::lock_guard lock(self->mutex);
        self->events.push_back({type, value, {bytes, bytes + 256}, context, std::this_thread::get_id()});
        self->changed.notify_all();
    }
    bool waitFor(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kDeadline, [&] { return events.size() >= count; });
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return events.size();
    }
};

std::vector<uint8_t> record(uint32_t recordType, int32_t type, int32_t value, uint8_t argFill) {
    std::vector<uint8_t> bytes(recordType == 1 ? 272 : 16, 0);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(recordType >> (8 * i));
        bytes[8 + i] = static_cast<uint8_t>(static_cast<uint32_t>(type) >> (8 * i));
        bytes[12 + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    }
    if (recordType == 1)
        std::fill(bytes.begin() + 16, bytes.end(), argFill);
    return bytes;
}

class Events : public SdkTest {
protected:
    Recorder recorder;
    halvKeshCbContext callbacks{&Recorder::callback, &recorder};

    void SetUp() override {
        ASSERT_TRUE(init(&callbacks));
        ASSERT_TRUE(host->waitForConnections(1, kDeadline));
    }
};

} // namespace

TEST_F(Events, ARecordSplitAcrossReadsMakesOneCallbackWithItsNumbersArgumentAndContext) {
    auto bytes = record(1, -7, 123456, 0);
    for (size_t i = 0; i < 256; ++i)
        bytes[16 + i] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(host->sendRaw({bytes.begin(), bytes.begin() + 7}));
    pumpPending();
    ASSERT_TRUE(host->sendRaw({bytes.begin() + 7, bytes.begin() + 100}));
    pumpPending();
    EXPECT_EQ(recorder.count(), 0u);
    ASSERT_TRUE(host->sendRaw({bytes.begin() + 100, bytes.end()}));
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return recorder.count() == 1; }));
    const Event& event = recorder.events[0];
    EXPECT_EQ(event.type, -7);
    EXPECT_EQ(event.value, 123456);
    EXPECT_EQ(event.arg, std::vector<uint8_t>(bytes.begin() + 16, bytes.end()));
    EXPECT_EQ(event.context, &recorder);
    EXPECT_EQ(event.thread, std::this_thread::get_id());
}

TEST_F(Events, RecordsInOneReadAreDispatchedInOrderAndIdleOrUnknownOnesAreSkipped) {
    std::vector<uint8_t> burst;
    auto add = [&](const std::vector<uint8_t>& bytes) {
        burst.insert(burst.end(), bytes.begin(), bytes.end());
    };
    add(record(1, 1, 10, 1));
    add(record(0, 99, 99, 0));
    add(record(1, 2, 20, 2));
    add(record(7, 99, 99, 0)); // a type this library does not know
    add(record(0, 99, 99, 0));
    add(record(1, 3, 30, 3));
    ASSERT_TRUE(host->sendRaw(burst));
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return recorder.count() >= 3; }));
    pumpPending();
    ASSERT_EQ(recorder.count(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder.events[static_cast<size_t>(i)].type, i + 1);
        EXPECT_EQ(recorder.events[static_cast<size_t>(i)].value, 10 * (i + 1));
    }
}

TEST(EventsOnAnotherThread, CallbackRunsOnTheContextOfTheThreadThatCalledInit) {
    TestHost host;
    Recorder recorder;
    halvKeshCbContext callbacks{&Recorder::callback, &recorder};
    std::thread::id initThread;
    std::atomic<bool> initialised{false};
    std::atomic<bool> done{false};
    std::thread applet([&] {
        // This thread runs its own main context, as a second event loop would.
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        initThread = std::this_thread::get_id();
        initialised = HalvKeshInit(CFSTR("id"), CFSTR("n"), &callbacks);
        waitUntil(kDeadline, [&] { return done.load(); });
        HalvKeshShutdown();
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    });
    ASSERT_TRUE(host.waitForConnections(1, kDeadline));
    ASSERT_TRUE(host.sendRecord(42, 43, {}));
    // The main thread's default context is never run here, so only the
    // applet thread can deliver the event.
    recorder.waitFor(1);
    done = true;
    applet.join();
    EXPECT_TRUE(initialised);
    ASSERT_EQ(recorder.count(), 1u);
    EXPECT_EQ(recorder.events[0].thread, initThread);
    EXPECT_EQ(recorder.events[0].type, 42);
}

TEST(EventsAfterShutdown, ALaterInitWithoutCallbackNeverCallsTheEarlierOne) {
    TestHost host;
    {
        Recorder gone;
        halvKeshCbContext callbacks{&Recorder::callback, &gone};
        ASSERT_TRUE(HalvKeshInit(CFSTR("id"), CFSTR("n"), &callbacks));
        HalvKeshShutdown();
    }
    ASSERT_TRUE(HalvKeshInit(CFSTR("id"), CFSTR("n"), nullptr));
    ASSERT_TRUE(host.waitForConnections(2, kDeadline));
    ASSERT_TRUE(host.sendRecord(1, 1, {}));
    pumpPending(); // would call into the destroyed recorder
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("alive")));
    HalvKeshShutdown();
}

TEST(EventsThatEndTheApplet, ShutdownFromInsideTheCallbackIsSafe) {
    TestHost host;
    static std::atomic<int> calls;
    calls = 0;
    halvKeshCbContext callbacks{[](int, int, void*, void*) {
                                    ++calls;
                                    HalvKeshShutdown();
                                },
                                nullptr};
    ASSERT_TRUE(HalvKeshInit(CFSTR("id"), CFSTR("n"), &callbacks));
    ASSERT_TRUE(host.waitForConnections(1, kDeadline));
    // Two records in one read: the second must not reach a shut-down SDK.
    std::vector<uint8_t> twice = record(1, 1, 1, 0);
    const auto second = record(1, 2, 2, 0);
    twice.insert(twice.end(), second.begin(), second.end());
    ASSERT_TRUE(host.sendRaw(twice));
    ASSERT_TRUE(waitUntil(kDeadline, [] { return calls.load() >= 1; }));
    pumpPending();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_FALSE(HalvKeshSetIndex(CFSTR("after")));
    EXPECT_EQ(HalvKeshGetLastError(), 4);
    EXPECT_TRUE(HalvKeshInit(CFSTR("id"), CFSTR("n"), nullptr));
    HalvKeshShutdown();
}
