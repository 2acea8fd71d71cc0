#include "CalibrationPattern.h"
#include "GoldenData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace kv::painter;

namespace {

// Colour of the scene's pixel (x, y), black where nothing is painted.
Rgb pixelOf(const StripScene& scene, int x, int y) {
    for (const ColouredRect& r : scene.rects) {
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
            return r.colour;
    }
    return {};
}

// The application's test: sampled from x along line y, cell j at x + round(j * width / 12).
bool showsPatternAtWidth(const StripScene& scene, int x, int y, float width) {
    for (int j = 0; j < kCellCount; ++j) {
        const int column = x + static_cast<int>(std::lround(static_cast<float>(j) * width / 12.0f));
        if (pixelOf(scene, column, y) != colourOfCode(kCalibrationCodes[static_cast<std::size_t>(j)]))
            return false;
    }
    return true;
}

} // namespace

TEST(PainterCalibrationPattern, PaintsTheGoldenColoursLeftToRight) {
    const auto golden = test_support::readGoldenCalibration();
    ASSERT_EQ(golden.size(), static_cast<std::size_t>(kCellCount));
    const StripScene scene = calibrationScene({0, 8, 96, 8});
    ASSERT_GT(scene.rects.size(), golden.size());
    for (const auto& cell : golden) {
        SCOPED_TRACE(cell.cell);
        EXPECT_EQ(kCalibrationCodes[static_cast<std::size_t>(cell.cell)], cell.code);
        EXPECT_EQ(colourOfCode(cell.code), cell.colour);
        EXPECT_EQ(scene.rects[static_cast<std::size_t>(cell.cell)].colour, cell.colour);
    }
}

TEST(PainterCalibrationPattern, CellsTileTheStripFromTheChosenLineDown) {
    const StripScene scene = calibrationScene({5, 7, 100, 4});
    EXPECT_GE(scene.width, 101); // the bright guard after the last cell
    EXPECT_EQ(scene.height, 9);
    EXPECT_EQ(scene.rects.front().width, 7);
    int x = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kCellCount); ++i) {
        const ColouredRect& r = scene.rects.at(i);
        EXPECT_EQ(r.x, x);
        EXPECT_EQ(r.y, 5);
        EXPECT_EQ(r.height, 4);
        if (i > 0) {
            EXPECT_GE(r.width, 8); // 93 pixels over 11 cells
            EXPECT_LE(r.width, 9);
        }
        x += r.width;
    }
    EXPECT_EQ(x, 100);
    EXPECT_EQ(pixelOf(scene, 0, 4), Rgb{}); // above the pattern stays black
}

TEST(PainterCalibrationPattern, LineThreeFirstCellNineWidth108MatchesExactlyWidths104To112) {
    // Read from the middle of the 9-pixel first cell, as the application's search does.
    const StripScene scene = calibrationScene({3, 9, 108, 8});
    const int middleOfFirstCell = (9 - 1) / 2;
    for (float width = 100.0f; width <= 116.0f; width += 1.0f) {
        SCOPED_TRACE(width);
        EXPECT_EQ(showsPatternAtWidth(scene, middleOfFirstCell, 3, width),
                  width >= 104.0f && width <= 112.0f);
    }
    EXPECT_FALSE(showsPatternAtWidth(scene, middleOfFirstCell, 2, 108.0f));
}

TEST(PainterCalibrationPattern, RejectsGeometryThatCannotHoldTwelveCells) {
    EXPECT_EQ(calibrationGeometryError({0, 8, 96, 8}), "");
    EXPECT_EQ(calibrationGeometryError({0, 1, 12, 1}), "");
    EXPECT_NE(calibrationGeometryError({0, 2, 12, 1}), "");
    EXPECT_NE(calibrationGeometryError({0, 0, 96, 8}), "");
    EXPECT_NE(calibrationGeometryError({-1, 8, 96, 8}), "");
    EXPECT_NE(calibrationGeometryError({0, 8, 96, 0}), "");
}
