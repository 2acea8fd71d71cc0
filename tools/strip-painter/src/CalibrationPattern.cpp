#include "CalibrationPattern.h"

#include <cmath>

namespace kv::painter {

namespace {
constexpr int kOtherCells = kCellCount - 1;
}

std::string calibrationGeometryError(const CalibrationGeometry& geometry) {
    if (geometry.line < 0)
        return "the line must not be negative";
    if (geometry.firstCell < 1)
        return "the first cell must be at least 1 pixel wide";
    if (geometry.height < 1)
        return "the pattern must be at least 1 pixel high";
    if (geometry.width - geometry.firstCell < kOtherCells)
        return "the width must leave at least 1 pixel for each of the other 11 cells";
    return {};
}

StripScene calibrationScene(const CalibrationGeometry& geometry) {
    StripScene scene;
    scene.height = geometry.line + geometry.height;
    const Rgb first = colourOfCode(kCalibrationCodes[0]);
    scene.rects.push_back({0, geometry.line, geometry.firstCell, geometry.height, first});
    const double rest = geometry.width - geometry.firstCell;
    auto edge = [&](int k) {
        return geometry.firstCell + static_cast<int>(std::lround(k * rest / kOtherCells));
    };
    for (int k = 0; k < kOtherCells; ++k) {
        const Rgb colour = colourOfCode(kCalibrationCodes[static_cast<std::size_t>(k + 1)]);
        scene.rects.push_back({edge(k), geometry.line, edge(k + 1) - edge(k), geometry.height, colour});
    }
    const int guard = edge(kOtherCells) - edge(kOtherCells - 1);
    scene.rects.push_back({geometry.width, geometry.line, guard, geometry.height, colourOfCode(kWhiteCode)});
    scene.width = geometry.width + guard;
    return scene;
}

} // namespace kv::painter
