#include "StripScene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kv::painter;

namespace {

// Reads a frame back as the application's reader does: cell i sampled at
// x + round(i * width / 12) along line y, lit when any component is lit.
FrameCells readBack(const StripScene& scene, int x, int y, float width) {
    FrameCells cells{};
    for (int i = 0; i < kCellCount; ++i) {
        const int column = x + static_cast<int>(std::lround(static_cast<float>(i) * width / 12.0f));
        for (const ColouredRect& r : scene.rects) {
            if (column >= r.x && column < r.x + r.width && y >= r.y && y < r.y + r.height)
                cells[static_cast<std::size_t>(i)] = r.colour != Rgb{};
        }
    }
    return cells;
}

} // namespace

TEST(PainterStripScene, FramesReadBackAtTheUncalibratedAndTheCalibratedGeometry) {
    for (int byte : {0, 0x55, 0xaa, 0xfe}) {
        for (int phase : {0, 1}) {
            const FrameCells cells = frameCells(static_cast<std::uint8_t>(byte), phase);
            // Cells of 80/12 pixels: the geometry the application uses before any calibration.
            EXPECT_EQ(readBack(frameScene(cells, 80.0 / 12.0), 2, 1, 80.0f), cells) << byte;
            // The add-on's 8-pixel cells, read where a calibration to the default pattern puts the reader.
            EXPECT_EQ(readBack(frameScene(cells, kDefaultCellPixels), 3, 0, 96.5f), cells) << byte;
        }
    }
}
