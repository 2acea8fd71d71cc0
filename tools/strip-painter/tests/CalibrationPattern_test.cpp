#include "CalibrationPattern.h"
#include "GoldenData.h"

#include <gtest/gtest.h>

using namespace kv::painter;

namespace {

// Colour of the scene's pixel (x, y), black where nothing is painted.
Rgb pixelOf(const StripScene& scene, int x, int y) {
    for (const ColouredRect& r : scene.rects)
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
            return r.colour;
    return {};
}

} // namespace

TEST(PainterCalibrationPattern, PaintsTheGoldenColoursLeftToRight) {
    const auto golden = kv::testsupport::readGoldenPattern();
    ASSERT_EQ(golden.size(), static_cast<std::size_t>(kCellCount));
    const StripScene scene = calibrationScene({0, 4, 48, 4});
    for (const auto& cell : golden) {
        SCOPED_TRACE(cell.cell);
        const Rgb colour{static_cast<int>(cell.rgb[0] * 255), static_cast<int>(cell.rgb[1] * 255),
                         static_cast<int>(cell.rgb[2] * 255)};
        EXPECT_EQ(kCalibrationCodes[static_cast<std::size_t>(cell.cell)], cell.code);
        EXPECT_EQ(colourOfCode(cell.code), colour);
        EXPECT_EQ(pixelOf(scene, cell.cell * 4 + 2, 2), colour);
    }
}
