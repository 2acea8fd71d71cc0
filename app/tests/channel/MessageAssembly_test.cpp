#include "channel/MessageAssembly.h"
#include "channel/Utf8Check.h"

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

TEST(Utf8Check, AcceptsWellFormedTextAndRejectsStrayTruncatedOverlongSurrogateAndOutOfRangeSequences) {
    using Bytes = std::vector<std::uint8_t>;
    for (const Bytes& text : {Bytes{}, Bytes{0, 'A'}, Bytes{0xC3, 0xA9}, Bytes{0xED, 0x9F, 0xBF},
                              Bytes{0xF4, 0x8F, 0xBF, 0xBF}, Bytes{0xE4, 0xB8, 0xAD, 'x'}})
        EXPECT_TRUE(isValidUtf8(text)) << text.size();
    for (const Bytes& text :
         {Bytes{0x80}, Bytes{0xC3}, Bytes{0xE4, 0xB8}, Bytes{0xC0, 0xAF}, Bytes{0xE0, 0x80, 0xAF},
          Bytes{0xED, 0xA0, 0x80}, Bytes{0xF4, 0x90, 0x80, 0x80}, Bytes{0xFE}, Bytes{0xE4, 0x41, 0xAD}})
        EXPECT_FALSE(isValidUtf8(text)) << int(text[0]);
}
