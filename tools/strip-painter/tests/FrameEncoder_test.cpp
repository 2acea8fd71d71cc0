#include "FrameEncoder.h"
#include "GoldenData.h"

#include <gtest/gtest.h>

using namespace kv::painter;

TEST(PainterFrameEncoder, ReproducesEveryGoldenMessageFrameByFrame) {
    const auto golden = kv::testsupport::readGoldenFrames();
    ASSERT_GE(golden.size(), 6u);
    for (const auto& message : golden) {
        SCOPED_TRACE(message.text);
        const auto frames = framesForMessage(message.text);
        ASSERT_TRUE(frames.has_value());
        ASSERT_EQ(frames->size(), message.frames.size());
        for (std::size_t i = 0; i < frames->size(); ++i) {
            EXPECT_EQ((*frames)[i].cells, message.frames[i].lit) << "frame " << i;
            EXPECT_EQ((*frames)[i].byte, message.frames[i].byte);
            EXPECT_EQ((*frames)[i].phase, message.frames[i].phase);
        }
    }
}

TEST(PainterFrameEncoder, RefusesTextsTheReaderCannotTakeAsOneMessage) {
    for (const std::string& refused : {std::string(), std::string("A"), std::string("A\x07\x08"),
                                       std::string("A\0B", 3), std::string("A\xff")})
        EXPECT_FALSE(framesForMessage(refused).has_value()) << refused;
    EXPECT_TRUE(framesForMessage("AB").has_value());
    // Bytes are sent as given, even when they are not valid UTF-8.
    EXPECT_TRUE(framesForMessage("A\xc3").has_value());
}
