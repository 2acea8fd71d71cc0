#include "StripScene.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kv::painter {

Rgb colourOfCode(int code) {
    // Bit order of the codes is not binary: the table is the reader's.
    static constexpr std::array<Rgb, 8> colours{{{0, 0, 0},
                                                 {255, 0, 0},
                                                 {0, 255, 0},
                                                 {0, 0, 255},
                                                 {255, 255, 0},
                                                 {0, 255, 255},
                                                 {255, 0, 255},
                                                 {255, 255, 255}}};
    return code >= 0 && code < static_cast<int>(colours.size()) ? colours[static_cast<std::size_t>(code)]
                                                                : Rgb{};
}

int cellEdge(int index, double cellPixels) {
    return static_cast<int>(std::lround(index * cellPixels));
}

StripScene frameScene(const FrameCells& cells, double cellPixels) {
    StripScene scene;
    scene.width = cellEdge(kCellCount, cellPixels);
    scene.height = std::max(1, static_cast<int>(std::lround(cellPixels)));
    for (int i = 0; i < kCellCount; ++i) {
        const int left = cellEdge(i, cellPixels);
        const int code = cells[static_cast<std::size_t>(i)] ? kWhiteCode : kBlackCode;
        scene.rects.push_back(
            {left, 0, cellEdge(i + 1, cellPixels) - left, scene.height, colourOfCode(code)});
    }
    return scene;
}

} // namespace kv::painter
