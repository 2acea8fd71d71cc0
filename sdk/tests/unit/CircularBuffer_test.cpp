#include "core/CircularBuffer.h"

#include <gtest/gtest.h>

#include <future>
#include <numeric>
#include <vector>

namespace {

std::vector<uint8_t> sequence(size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

} // namespace

TEST(CircularBuffer, StoresOnlyWhatFitsAndTakesTheRestAfterARead) {
    CircularBuffer buffer(10);
    const auto bytes = sequence(14, 1);
    EXPECT_EQ(buffer.write(bytes.data(), 14), 10u);
    EXPECT_EQ(buffer.write(bytes.data(), 1), 0u);
    std::vector<uint8_t> out(4);
    EXPECT_EQ(buffer.read(out.data(), 4), 4u);
    EXPECT_EQ(out, sequence(4, 1));
    EXPECT_EQ(buffer.write(bytes.data() + 10, 4), 4u);
    out.resize(20);
    EXPECT_EQ(buffer.read(out.data(), 20), 10u);
    out.resize(10);
    EXPECT_EQ(out, sequence(10, 5));
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.read(out.data(), 1), 0u);
}

TEST(CircularBuffer, KeepsTheOrderAcrossTheWrapAtEveryOffset) {
    // Every start offset, with writes that end exactly at the array's end,
    // run past it, or stay before it.
    for (unsigned long offset = 0; offset < 8; ++offset) {
        for (unsigned long count = 1; count <= 8; ++count) {
            CircularBuffer buffer(8);
            std::vector<uint8_t> skip(offset);
            buffer.write(skip.data(), offset);
            buffer.read(skip.data(), offset);
            const auto bytes = sequence(count, static_cast<uint8_t>(10 * count));
            ASSERT_EQ(buffer.write(bytes.data(), count), count);
            // A second write continues where the first ended.
            const auto more = sequence(8 - count, 200);
            ASSERT_EQ(buffer.write(more.data(), more.size()), more.size());
            std::vector<uint8_t> out(8);
            ASSERT_EQ(buffer.read(out.data(), 8), 8u);
            std::vector<uint8_t> expected = bytes;
            expected.insert(expected.end(), more.begin(), more.end());
            ASSERT_EQ(out, expected) << "offset " << offset << " count " << count;
        }
    }
}

TEST(CircularBuffer, WaitsEndOnAWriteOrReadOrOnTheStopEvent) {
    CircularBuffer buffer(4);
    Event stop(true, false);
    auto reader = std::async(std::launch::async, [&] { return buffer.waitForNotEmpty(&stop); });
    const uint8_t byte = 1;
    buffer.write(&byte, 1);
    EXPECT_TRUE(reader.get());

    stop.Set();
    EXPECT_FALSE(buffer.waitForNotEmpty(&stop)) << "a set stop event ends the wait at once";
    // Without a stop event the wait ends on the next read.
    uint8_t out;
    buffer.read(&out, 1);
    EXPECT_TRUE(buffer.waitForNotFull(nullptr));
}

TEST(CircularBuffer, PeekShowsStoredBytesInPlaceAcrossTheWrapUntilConsumed) {
    CircularBuffer buffer(8);
    std::vector<uint8_t> skip(6);
    buffer.write(skip.data(), 6);
    buffer.read(skip.data(), 6);
    const auto bytes = sequence(5, 1); // 2 before the end of the array, 3 after it
    ASSERT_EQ(buffer.write(bytes.data(), 5), 5u);

    CircularBuffer::Piece pieces[2];
    ASSERT_EQ(buffer.peek(1, 10, pieces), 2);
    EXPECT_EQ(std::vector<uint8_t>(pieces[0].data, pieces[0].data + pieces[0].size), sequence(1, 2));
    EXPECT_EQ(std::vector<uint8_t>(pieces[1].data, pieces[1].data + pieces[1].size), sequence(3, 3));
    EXPECT_EQ(buffer.peek(5, 1, pieces), 0) << "nothing stored from there on";
    EXPECT_EQ(buffer.size(), 5u) << "peeking takes nothing";

    uint64_t middle = 0;
    EXPECT_EQ(buffer.copyOut(2, &middle, 8), 3u);
    EXPECT_EQ(middle, 0x050403u);

    buffer.consume(2);
    ASSERT_EQ(buffer.write(sequence(5, 9).data(), 5), 5u) << "consumed bytes are room again";
    std::vector<uint8_t> out(8);
    ASSERT_EQ(buffer.read(out.data(), 8), 8u);
    EXPECT_EQ(out, (std::vector<uint8_t>{3, 4, 5, 9, 10, 11, 12, 13}));
}

TEST(CircularBuffer, WaitsForAnAmountEndOnlyOnceItIsThere) {
    CircularBuffer buffer(16);
    const auto bytes = sequence(16, 1);
    buffer.write(bytes.data(), 3);
    EXPECT_TRUE(buffer.waitForData(3, nullptr)) << "already there: no wait";

    // A reader that wants 6 bytes is not the reader of the first 3 alone.
    auto reader = std::async(std::launch::async, [&] {
        while (buffer.size() < 6)
            buffer.waitForData(6, nullptr);
        return buffer.size();
    });
    buffer.write(bytes.data(), 1);
    buffer.write(bytes.data(), 2);
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_GE(reader.get(), 6u);

    Event stop(true, true);
    EXPECT_FALSE(buffer.waitForData(100, &stop)) << "the stop event is looked at first";
    EXPECT_FALSE(buffer.waitForRoom(1, &stop));
}

TEST(CircularBuffer, EverySenderWaitingForRoomWakesWhenThereIsRoom) {
    // Several senders block on a full buffer; a read that frees room for all
    // of them must not wake just one and leave the others asleep.
    CircularBuffer buffer(4);
    const auto bytes = sequence(4, 1);
    ASSERT_EQ(buffer.write(bytes.data(), 4), 4u);
    constexpr int kSenders = 3;
    std::vector<std::future<void>> senders;
    for (int i = 0; i < kSenders; ++i)
        senders.push_back(std::async(std::launch::async, [&] {
            const uint8_t byte = 0xEE;
            while (buffer.write(&byte, 1) == 0)
                buffer.waitForRoom(1, nullptr);
        }));
    std::vector<uint8_t> out(4);
    ASSERT_EQ(buffer.read(out.data(), 4), 4u);
    for (auto& sender : senders)
        EXPECT_EQ(sender.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(buffer.size(), static_cast<unsigned long>(kSenders));
}
