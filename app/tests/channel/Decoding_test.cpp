#include "channel/ByteConfirmation.h"
#include "channel/MessageAssembly.h"
#include "channel/StripFrame.h"
#include "channel/Utf8Check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace kv::channel;

namespace {

CellStates cellsFor(int value, int phase) {
    CellStates lit{};
    lit[0] = lit[10] = 1;
    lit[1] = lit[11] = phase;
    for (int bit = 0; bit < 8; ++bit)
        lit[static_cast<std::size_t>(9 - bit)] = (value >> bit) & 1;
    return lit;
}

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

} // namespace

TEST(StripFrame, MarkersAndMatchingPhaseCellsMakeAFrame) {
    EXPECT_EQ(framePhase(cellsFor(65, 0)), FramePhase::Phase0);
    EXPECT_EQ(framePhase(cellsFor(65, 1)), FramePhase::Phase1);
    CellStates halfPhase = cellsFor(65, 1);
    halfPhase[11] = 0;
    EXPECT_EQ(framePhase(halfPhase), FramePhase::None);
    CellStates noMarker = cellsFor(65, 0);
    noMarker[10] = 0;
    EXPECT_EQ(framePhase(noMarker), FramePhase::None);
}

TEST(StripFrame, ValueComesFromTheEightDataCellsOnly) {
    EXPECT_EQ(frameValue(cellsFor(65, 1)), 65);
    EXPECT_EQ(frameValue(cellsFor(0, 0)), 0);
    EXPECT_EQ(frameValue(cellsFor(255, 1)), 255);
    CellStates allLit;
    allLit.fill(1);
    EXPECT_EQ(frameValue(allLit), 255);
}

TEST(ByteConfirmation, AcceptsAByteOnceWhenItsPhase1FrameFollowsItsPhase0Frame) {
    std::string p1, p2;
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase0, 65), std::nullopt);
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase0, 65), std::nullopt);
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::None, 3), std::nullopt);
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase1, 65), 65);
    EXPECT_TRUE(p1.empty() && p2.empty());
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase1, 65), std::nullopt);
}

TEST(ByteConfirmation, APhase0FrameOfAnotherValueReplacesTheCandidate) {
    std::string p1, p2;
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase1, 65), std::nullopt); // no phase 0 before it
    confirmFrame(p1, p2, FramePhase::Phase0, 65);
    confirmFrame(p1, p2, FramePhase::Phase0, 66);
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase1, 65), std::nullopt);
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase1, 66), 66);
}

TEST(ByteConfirmation, ZeroIsAValueLikeAnyOther) {
    std::string p1, p2;
    confirmFrame(p1, p2, FramePhase::Phase0, 0);
    EXPECT_EQ(confirmFrame(p1, p2, FramePhase::Phase1, 0), 0);
}

TEST(MessageAssembly, TerminatorFinishesAMessageOfTwoOrMoreBytes) {
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    for (int v : {65, 66, 7})
        EXPECT_EQ(acceptByte(buffer, last, v).outcome, ByteOutcome::Collected);
    const AcceptedByte done = acceptByte(buffer, last, 8);
    EXPECT_EQ(done.outcome, ByteOutcome::MessageComplete);
    EXPECT_EQ(done.text, "AB");
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(last, 7);
}

TEST(MessageAssembly, OneByteMessageStaysInFrontOfTheNext) {
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    for (int v : {65, 7})
        acceptByte(buffer, last, v);
    EXPECT_EQ(acceptByte(buffer, last, 8).outcome, ByteOutcome::TooShortToFinish);
    EXPECT_EQ(buffer, bytes({65, 7}));
    for (int v : {67, 68, 7})
        acceptByte(buffer, last, v);
    EXPECT_EQ(acceptByte(buffer, last, 8).text, std::string("A\x07"
                                                            "CD"));
}

TEST(MessageAssembly, SpecialBytes) {
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    EXPECT_EQ(acceptByte(buffer, last, 255).outcome, ByteOutcome::Ignored);
    EXPECT_EQ(acceptByte(buffer, last, 0).outcome, ByteOutcome::Collected);
    EXPECT_EQ(acceptByte(buffer, last, 8).outcome, ByteOutcome::Collected); // no 7 before it
    for (int v : {7, 7})
        acceptByte(buffer, last, v);
    const AcceptedByte done = acceptByte(buffer, last, 8);
    EXPECT_EQ(done.text, std::string("\0\x08\x07", 3)); // only the last 7 goes
    // Right after a message, an 8 that should start the next one ends it instead.
    EXPECT_EQ(acceptByte(buffer, last, 8).outcome, ByteOutcome::TooShortToFinish);
    EXPECT_TRUE(buffer.empty());
}

TEST(MessageAssembly, MessageThatIsNotUtf8IsDroppedAndTheBufferEmptied) {
    std::vector<std::uint8_t> buffer;
    std::int64_t last = 0;
    for (int v : {0x54, 0xC3, 0x28, 7}) // a misread second byte of "é"
        acceptByte(buffer, last, v);
    EXPECT_EQ(acceptByte(buffer, last, 8).outcome, ByteOutcome::DroppedInvalid);
    EXPECT_TRUE(buffer.empty());
    for (int v : {0xC3, 0xA9, 7})
        acceptByte(buffer, last, v);
    EXPECT_EQ(acceptByte(buffer, last, 8).text, "\xC3\xA9");
}

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
    EXPECT_TRUE(isValidUtf8(bytes({})));
    EXPECT_TRUE(isValidUtf8(bytes({0, 'A'})));
    EXPECT_TRUE(isValidUtf8(bytes({0xC3, 0xA9})));             // é
    EXPECT_TRUE(isValidUtf8(bytes({0xED, 0x9F, 0xBF})));       // U+D7FF
    EXPECT_TRUE(isValidUtf8(bytes({0xF4, 0x8F, 0xBF, 0xBF}))); // U+10FFFF
    EXPECT_TRUE(isValidUtf8(bytes({0xE4, 0xB8, 0xAD, 'x'})));  // 中x
}

TEST(Utf8Check, RejectsMalformedText) {
    EXPECT_FALSE(isValidUtf8(bytes({0x80})));                   // stray continuation
    EXPECT_FALSE(isValidUtf8(bytes({0xC3})));                   // truncated
    EXPECT_FALSE(isValidUtf8(bytes({0xE4, 0xB8})));             // truncated
    EXPECT_FALSE(isValidUtf8(bytes({0xC0, 0xAF})));             // overlong
    EXPECT_FALSE(isValidUtf8(bytes({0xE0, 0x80, 0xAF})));       // overlong
    EXPECT_FALSE(isValidUtf8(bytes({0xED, 0xA0, 0x80})));       // surrogate
    EXPECT_FALSE(isValidUtf8(bytes({0xF4, 0x90, 0x80, 0x80}))); // above U+10FFFF
    EXPECT_FALSE(isValidUtf8(bytes({0xFE})));
    EXPECT_FALSE(isValidUtf8(bytes({0xE4, 0x41, 0xAD}))); // ASCII inside a sequence
}
