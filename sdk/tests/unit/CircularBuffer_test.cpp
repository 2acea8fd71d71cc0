#include "core/CircularBuffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

TEST(CircularBuffer, KeepsTheOrderAcrossTheWrapAtEveryOffset) {
    // Every start offset, with writes that end exactly at the array's end,
    // run past it, or stay before it; more than fits is cut to what fits.
    for (unsigned long offset = 0; offset < 8; ++offset) {
        for (unsigned long count = 1; count <= 8; ++count) {
            CircularBuffer buffer(8);
            std::vector<uint8_t> bytes(9), out(9);
            buffer.write(bytes.data(), offset);
            buffer.read(out.data(), offset);
            std::iota(bytes.begin(), bytes.end(), static_cast<uint8_t>(10 * count));
            ASSERT_EQ(buffer.write(bytes.data(), count), count);
            ASSERT_EQ(buffer.write(bytes.data() + count, 9 - count), 8 - count);
            ASSERT_EQ(buffer.read(out.data(), 9), 8u);
            bytes.pop_back();
            out.pop_back();
            ASSERT_EQ(out, bytes) << "offset " << offset << " count " << count;
        }
    }
}
