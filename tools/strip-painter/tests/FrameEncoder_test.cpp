#include "FrameEncoder.h"
#include "GoldenData.h"

#include <gtest/gtest.h>

using namespace kv::painter;

TEST(PainterFrameEncoder, ReproducesEveryGoldenMessageFrameByFrame) {
    const auto golden = test_support::readGoldenFrames();
    ASSERT_GE(golden.size(), 6u);
    for (const auto& message : golden) {
        SCOPED_TRACE(message.text);
        const auto frames = framesForMessage(message.text);
        ASSERT_TRUE(frames.has_value());
        EXPECT_EQ(*frames, message.frames);
    }
}

TEST(PainterFrameEncoder, RefusesTextsTheReaderCannotTakeAsOneMessage) {
    EXPECT_FALSE(framesForMessage("").has_value());
    EXPECT_FALSE(framesForMessage("A").has_value()); // shorter messages are dropped by the reader
    EXPECT_FALSE(framesForMessage("A\x07\x08").has_value());
    EXPECT_FALSE(framesForMessage(std::string("A\0B", 3)).has_value());
    EXPECT_FALSE(framesForMessage("A\xff").has_value());
    EXPECT_TRUE(framesForMessage("AB").has_value());
    // Bytes are sent as given, even when they are not valid UTF-8.
    EXPECT_TRUE(framesForMessage("A\xc3").has_value());
}
