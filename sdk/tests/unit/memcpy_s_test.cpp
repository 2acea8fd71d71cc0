#include "core/memcpy_s.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

TEST(MemcpyS, CountZeroDoesNothingWhateverThePointers) {
    EXPECT_EQ(memcpy_s(nullptr, 0, nullptr, 0), 0);
    std::array<uint8_t, 2> destination{7, 7};
    EXPECT_EQ(memcpy_s(destination.data(), 2, nullptr, 0), 0);
    EXPECT_EQ(destination, (std::array<uint8_t, 2>{7, 7}));
}

TEST(MemcpyS, FailuresZeroTheWholeDestinationAndNeverOverrun) {
    std::array<uint8_t, 12> guarded{};
    guarded.fill(0xee);
    const std::array<uint8_t, 11> source{};
    // Destination of 10 inside a 12-byte array: the two guard bytes must stay.
    EXPECT_EQ(memcpy_s(guarded.data() + 1, 10, source.data(), 11), 34);
    EXPECT_EQ(guarded[0], 0xee);
    EXPECT_EQ(guarded[11], 0xee);
    for (size_t i = 1; i <= 10; ++i)
        EXPECT_EQ(guarded[i], 0);

    std::array<uint8_t, 5> destination{};
    destination.fill(3);
    EXPECT_EQ(memcpy_s(destination.data(), destination.size(), nullptr, 5), 22);
    EXPECT_EQ(destination, (std::array<uint8_t, 5>{}));

    EXPECT_EQ(memcpy_s(nullptr, 5, source.data(), 5), 22);
}
