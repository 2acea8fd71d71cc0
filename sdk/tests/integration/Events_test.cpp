// Event records from the host reach the applet's callback, on the main
// context of the thread that called Init.
#include "SdkTestSupport.h"
#include "WireMessage.h"

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

void record(int type, int value, void* arg, void* context) {
    const auto* bytes = static_cast<const uint8_t*>(arg);
    static_cast<std::vector<Event>*>(context)->push_back(
        {type, value, {bytes, bytes + 256}, context, std::this_thread::get_id()});
}

// A record whose argument bytes follow a pattern of its value.
std::vector<uint8_t> recordBytes(uint32_t kind, int32_t type, int32_t value) {
    Wire record = Wire::record(kind, type, value);
    for (size_t i = 16; i < record.bytes.size(); ++i)
        record.bytes[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(value));
    return record.bytes;
}

// Dispatches what is ready on the main context.
void dispatchReady() {
    waitUntil(0ms, [] { return false; });
}

class Events : public SdkTest {};

} // namespace

TEST_F(Events, RecordsSplitAcrossReadsReachTheCallbackWholeAndInOrder) {
    std::vector<Event> events;
    halvKeshCbContext callbacks{record, &events};
    ASSERT_TRUE(init(&callbacks));
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    // Idle records and a type this library does not know make no callback.
    std::vector<uint8_t> bytes;
    for (const auto& piece :
         {recordBytes(1, -7, 123456), recordBytes(0, 9, 9), recordBytes(7, 9, 9), recordBytes(1, 2, 20)})
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    // The second read completes the first record and ends part-way into the
    // next ones, whose start must be kept for the third read.
    for (const auto& [from, to] :
         {std::pair<long, long>{0, 7}, {7, 300}, {300, static_cast<long>(bytes.size())}}) {
        EXPECT_TRUE(from >= 272 || events.empty()) << "no callback before the first record is whole";
        ASSERT_TRUE(host->sendRaw({bytes.begin() + from, bytes.begin() + to}));
        dispatchReady();
    }
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return events.size() == 2; }));
    dispatchReady();
    ASSERT_EQ(events.size(), 2u);
    const std::pair<int, int> numbers[] = {{-7, 123456}, {2, 20}};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::make_pair(events[i].type, events[i].value), numbers[i]);
        const auto sent = recordBytes(1, numbers[i].first, numbers[i].second);
        EXPECT_EQ(events[i].arg, std::vector<uint8_t>(sent.begin() + 16, sent.end()));
        EXPECT_EQ(events[i].context, &events);
        EXPECT_EQ(events[i].thread, std::this_thread::get_id());
    }
}

TEST_F(Events, ShutDownFromInsideTheCallbackStopsDeliveryAndForgetsTheCallback) {
    static int calls;
    calls = 0;
    halvKeshCbContext callbacks{[](int, int, void*, void*) {
                                    ++calls;
                                    HalvKeshShutdown();
                                },
                                nullptr};
    ASSERT_TRUE(init(&callbacks));
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    // Two records in one read: the second must not reach a shut-down SDK.
    std::vector<uint8_t> twice = recordBytes(1, 1, 1);
    twice.resize(2 * twice.size(), 0);
    twice[272] = 1;
    ASSERT_TRUE(host->sendRaw(twice));
    ASSERT_TRUE(waitUntil(kDeadline, [] { return calls >= 1; }));
    EXPECT_FALSE(HalvKeshSetIndex(CFSTR("after")));
    EXPECT_EQ(HalvKeshGetLastError(), 4);
    // A later Init without a callback never calls the earlier one.
    ASSERT_TRUE(init());
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    ASSERT_TRUE(host->sendRaw(recordBytes(1, 3, 3)));
    dispatchReady();
    EXPECT_EQ(calls, 1);
}
