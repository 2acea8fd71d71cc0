#include "channel/MessageAssembly.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv::channel;

TEST(MessageAssembly, EndlessGarbageNeverGrowsTheBufferBeyondItsBound) {
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    bool discarded = false;
    for (std::size_t i = 0; i < 10 * kMaxMessageBytes; ++i) {
        discarded |= acceptByte(buffer, last, 'x').discardedOverflow;
        ASSERT_LE(buffer.size(), kMaxMessageBytes);
    }
    EXPECT_TRUE(discarded);
    // The longest message that fits still arrives whole after the garbage.
    buffer.clear();
    for (std::size_t i = 0; i + 1 < kMaxMessageBytes; ++i)
        acceptByte(buffer, last, 'y');
    acceptByte(buffer, last, 7);
    EXPECT_EQ(acceptByte(buffer, last, 8).text, std::string(kMaxMessageBytes - 1, 'y'));
}
