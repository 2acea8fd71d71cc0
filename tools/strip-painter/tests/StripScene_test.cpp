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
        for (const ColouredRect& r : scene.rects)
            if (column >= r.x && column < r.x + r.width && y >= r.y && y < r.y + r.height)
                cells[static_cast<std::size_t>(i)] = r.colour != Rgb{};
    }
    return cells;
}

} // namespace

TEST(PainterStripScene, FramesReadBackAtTheUncalibratedAndTheCalibratedGeometries) {
    struct Geometry {
        double cell;
        int x, y;
        float width;
    };
    // 80/12-pixel cells where a never-calibrated reader looks; the add-on's cells at scales 1, 1.5
    // and 2 where calibrating to their pattern puts the reader.
    const Geometry geometries[] = {
        {80.0 / 12.0, 2, 1, 80.0f}, {4, 1, 0, 48.5f}, {6, 2, 0, 72.5f}, {8, 3, 0, 96.5f}};
    for (const Geometry& g : geometries)
        for (int byte : {0, 0x55, 0xaa, 0xfe})
            for (int phase : {0, 1}) {
                const FrameCells cells = frameCells(static_cast<std::uint8_t>(byte), phase);
                EXPECT_EQ(readBack(frameScene(cells, g.cell), g.x, g.y, g.width), cells)
                    << g.cell << " " << byte;
            }
}
