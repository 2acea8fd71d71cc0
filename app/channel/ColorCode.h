// Colour rule of the screen strip: which sampled colours count as lit, and the
// code 0..7 that calibration gives a colour from its lit components.
#pragma once

namespace kv::channel {

// A component is lit from 14/256 upwards, so the dark cells of a strip survive
// a little gamma, dithering or colour management without reading as lit.
inline constexpr double kLitThreshold = 14.0 / 256.0;

// Written where a log line names the colour of a position that has no colour.
inline constexpr int kNoColorCode = 999;

enum ColorCode : int {
    kBlack = 0,
    kRed = 1,
    kGreen = 2,
    kBlue = 3,
    kYellow = 4,
    kCyan = 5,
    kMagenta = 6,
    kWhite = 7,
};

// A sampled colour, each component 0.0 to 1.0.
struct Rgb {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

bool isComponentLit(double component);

// A sample is lit when at least one of its three components is lit.
bool isLit(double red, double green, double blue);

// Code of a colour by which of its components are lit (black 0 ... white 7).
int classifyColor(double red, double green, double blue);
inline int classifyColor(const Rgb& color) {
    return classifyColor(color.red, color.green, color.blue);
}

} // namespace kv::channel
