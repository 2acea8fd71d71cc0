// What the painter window shows: flat-coloured rectangles on a black window
// whose top-left corner is the screen's, in physical pixels.
#pragma once

#include "FrameEncoder.h"

#include <vector>

namespace kv::painter {

// Each component off (0) or fully lit (255), so that no shading can put a
// cell near the reader's lit threshold.
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;

    bool operator==(const Rgb&) const = default;
};

// Colour codes 0..7: black, red, green, blue, yellow, cyan, magenta, white.
inline constexpr int kBlackCode = 0;
inline constexpr int kWhiteCode = 7;
Rgb colourOfCode(int code);

struct ColouredRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    Rgb colour;

    bool operator==(const ColouredRect&) const = default;
};

struct StripScene {
    int width = 0;
    int height = 0;
    std::vector<ColouredRect> rects;

    bool operator==(const StripScene&) const = default;
};

// The add-on's cells are 4 physical pixels square at a UI scale of 1, and
// scale with it (6 pixels at 1.5, 8 at 2).
inline constexpr double kDefaultCellPixels = 4.0;

// Left edge of cell `index` for cells `cellPixels` wide; a fractional size
// spreads the rounding over the strip, as the reader's sample offsets do.
int cellEdge(int index, double cellPixels);

// A frame's 12 cells from the top-left corner: lit cells white, dark black.
StripScene frameScene(const FrameCells& cells, double cellPixels);

} // namespace kv::painter
