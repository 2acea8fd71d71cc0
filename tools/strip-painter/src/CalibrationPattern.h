// The test pattern the application's calibration looks for, painted at a
// chosen screen line with a chosen first-cell width and strip width.
#pragma once

#include "StripScene.h"

#include <array>
#include <string>

namespace kv::painter {

// Colour codes of the 12 cells, left to right.
inline constexpr std::array<int, kCellCount> kCalibrationCodes{6, 0, 4, 3, 2, 1, 7, 6, 5, 4, 5, 0};

struct CalibrationGeometry {
    int line = 0;      // topmost screen line of the pattern
    int firstCell = 4; // width of the first (magenta) cell
    int width = 48;    // whole strip, first cell included
    int height = 4;    // lines the pattern covers from `line` down

    bool operator==(const CalibrationGeometry&) const = default;
};

// Empty when the geometry can be painted, else why not.
std::string calibrationGeometryError(const CalibrationGeometry& geometry);

// The first cell is `firstCell` wide; the other eleven share the rest of the
// width evenly, rounding spread over them. Lines above the pattern stay black.
// A white guard as wide as the last cell follows it, standing for the game's
// bright scene: without it the widths that show the pattern, and so the
// calibrated width, would depend on whatever lies right of the window.
StripScene calibrationScene(const CalibrationGeometry& geometry);

} // namespace kv::painter
