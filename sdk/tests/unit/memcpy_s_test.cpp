#include "core/memcpy_s.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

TEST(MemcpyS, FailuresZeroTheWholeDestinationAndNeverOverrun) {
    EXPECT_EQ(memcpy_s(nullptr, 0, nullptr, 0), 0) << "count 0 does nothing, whatever the pointers";
    const std::array<uint8_t, 11> source{1, 2, 3};
    std::array<uint8_t, 12> guarded{};
    guarded.fill(0xee);
    // A destination of 10 inside 12 bytes: the two guard bytes must stay.
    EXPECT_EQ(memcpy_s(guarded.data() + 1, 10, source.data(), 11), 34);
    EXPECT_EQ(guarded, (std::array<uint8_t, 12>{0xee, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xee}));
    guarded.fill(3);
    EXPECT_EQ(memcpy_s(guarded.data(), 5, nullptr, 5), 22);
    EXPECT_EQ(guarded[4], 0);
    EXPECT_EQ(memcpy_s(nullptr, 5, source.data(), 5), 22);
    EXPECT_EQ(memcpy_s(guarded.data(), 12, source.data(), 3), 0);
    EXPECT_EQ(guarded[2], 3);
}
