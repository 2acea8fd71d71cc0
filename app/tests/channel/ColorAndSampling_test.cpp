#include "channel/ColorCode.h"
#include "channel/SampleOffsets.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

using namespace kv::channel;
using Offsets = std::array<std::int64_t, 12>;

// (Each code of the table is checked against the add-on's golden pattern colours.)
TEST(ColorRule, AComponentIsLitFrom14Of256AndDimComponentsDoNotChangeTheCode) {
    EXPECT_FALSE(isLit(0.0546874, 0.0546874, 0.0546874));
    EXPECT_TRUE(isLit(0.0, 0.0, 0.0546875));
    EXPECT_EQ(classifyColor(0.0546875, 0.0, 0.0), kRed);
    EXPECT_EQ(classifyColor(0.9, 0.05, 0.8), kMagenta);
}

TEST(SampleOffsets, SpreadTwelveColumnsOverTheWidthMultiplyingFirstInSinglePrecision) {
    EXPECT_EQ(computeSampleOffsets(80.0), (Offsets{0, 7, 13, 20, 27, 33, 40, 47, 53, 60, 67, 73}));
    EXPECT_EQ(computeSampleOffsets(102.5), (Offsets{0, 9, 17, 26, 34, 43, 51, 60, 68, 77, 85, 94}));
    EXPECT_EQ(computeSampleOffsets(12.0), (Offsets{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    // Halves round away from zero.
    EXPECT_EQ(sampleColumn(1, 6.0f), 1);
    EXPECT_EQ(sampleColumn(1, -6.0f), -1);
    // 9 * w / 12 lands on 51.5 in single precision; dividing first, or in double precision, gives 51.
    EXPECT_EQ(computeSampleOffsets(static_cast<double>(68.666664f))[9], 52);
    // A stored width is a float: a double just below 6 samples like 6.0f.
    EXPECT_EQ(computeSampleOffsets(5.99999999)[1], 1);
    // Zero samples one pixel; damaged widths sample nothing.
    EXPECT_EQ(computeSampleOffsets(0.0), Offsets{});
    Offsets outside;
    outside.fill(-1);
    EXPECT_EQ(computeSampleOffsets(1.0e30), outside);
    EXPECT_EQ(computeSampleOffsets(std::numeric_limits<double>::quiet_NaN()), outside);
}
