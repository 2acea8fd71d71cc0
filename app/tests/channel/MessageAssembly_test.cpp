#include "channel/MessageAssembly.h"
#include "channel/Utf8Check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv::channel;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

} // namespace

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

TEST(Utf8Check, AcceptsWellFormedText) {
    for (const auto& text : {bytes({}), bytes({0, 'A'}), bytes({0xC3, 0xA9}), bytes({0xED, 0x9F, 0xBF}),
                             bytes({0xF4, 0x8F, 0xBF, 0xBF}), bytes({0xE4, 0xB8, 0xAD, 'x'})})
        EXPECT_TRUE(isValidUtf8(text)) << text.size();
}

TEST(Utf8Check, RejectsStrayTruncatedOverlongSurrogateAndOutOfRangeSequences) {
    for (const auto& text : {bytes({0x80}), bytes({0xC3}), bytes({0xE4, 0xB8}), bytes({0xC0, 0xAF}),
                             bytes({0xE0, 0x80, 0xAF}), bytes({0xED, 0xA0, 0x80}),
                             bytes({0xF4, 0x90, 0x80, 0x80}), bytes({0xFE}), bytes({0xE4, 0x41, 0xAD})})
        EXPECT_FALSE(isValidUtf8(text)) << int(text[0]);
}
