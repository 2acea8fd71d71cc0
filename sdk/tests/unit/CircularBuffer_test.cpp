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

TEST(CircularBuffer, KeepsTheOrderAcrossTheWrapAtEveryOffset) {
    // Every start offset, with writes that end exactly at the array's end,
    // run past it, or stay before it; more than fits is cut to what fits.
    for (unsigned long offset = 0; offset < 8; ++offset) {
        for (unsigned long count = 1; count <= 8; ++count) {
            CircularBuffer buffer(8);
            std::vector<uint8_t> skip(offset);
            buffer.write(skip.data(), offset);
            buffer.read(skip.data(), offset);
            const auto first = sequence(count, static_cast<uint8_t>(10 * count));
            const auto more = sequence(9 - count, 200);
            ASSERT_EQ(buffer.write(first.data(), count), count);
            ASSERT_EQ(buffer.write(more.data(), more.size()), 8 - count);
            std::vector<uint8_t> out(9);
            ASSERT_EQ(buffer.read(out.data(), 9), 8u);
            std::vector<uint8_t> expected = first;
            expected.insert(expected.end(), more.begin(), more.end() - 1);
            out.resize(8);
            ASSERT_EQ(out, expected) << "offset " << offset << " count " << count;
        }
    }
}
