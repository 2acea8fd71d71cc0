#include "CircularBuffer.h"

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
