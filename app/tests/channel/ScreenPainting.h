// Painting the add-on's strip and calibration pattern onto the fake screen.
// Rows are painted from letters, one per pixel: K black, R red, G green,
// B blue, Y yellow, C cyan, M magenta, W white, '.' a grey too dim to be lit.
#pragma once

#include "FakeScreenCapture.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace kv::channel::testing {

inline PixelColor colorOfLetter(char letter) {
    switch (letter) {
    case 'R':
        return {1, 0, 0};
    case 'G':
        return {0, 1, 0};
    case 'B':
        return {0, 0, 1};
    case 'Y':
        return {1, 1, 0};
    case 'C':
        return {0, 1, 1};
    case 'M':
        return {1, 0, 1};
    case 'W':
        return {1, 1, 1};
    case '.':
        return {0.04, 0.04, 0.04};
    default:
        return {};
    }
}

inline void paintLetters(fakes::FakeScreenCapture& screen, std::int64_t y, const std::string& letters) {
    for (std::size_t x = 0; x < letters.size(); ++x)
        screen.setPixel(static_cast<std::int64_t>(x), y, colorOfLetter(letters[x]));
}

// The calibration pattern, its first cell `firstCellWidth` pixels wide and
// the others `cellWidth`, followed by the game's bright scene.
inline std::string paintedPattern(std::size_t firstCellWidth, std::size_t cellWidth) {
    std::string row(firstCellWidth, 'M');
    for (char cell : std::string("KYBGRWMCYCK"))
        row += std::string(cellWidth, cell);
    return row + std::string(100, 'W');
}

// Sampled from the middle of its 9-pixel first cell (x = 4), this strip shows
// the pattern for exactly the widths 104 to 112.
inline const std::string kPatternMatching104To112 = paintedPattern(9, 9);

// One character frame as the add-on paints it: 12 equal cells across `width`
// pixels from `x`, markers lit, both phase cells lit for phase 1.
inline void paintFrame(fakes::FakeScreenCapture& screen, std::int64_t x, std::int64_t y, double width,
                       int value, int phase) {
    bool lit[12] = {true,  phase != 0, false, false, false, false,
                    false, false,      false, false, true,  phase != 0};
    for (int bit = 0; bit < 8; ++bit)
        lit[9 - bit] = ((value >> bit) & 1) != 0;
    // Lit cells in changing colours: any one lit component makes a cell lit.
    const PixelColor on[3] = {{1.0, 0.0, 0.0}, {0.0, 0.2, 0.0}, {0.0, 0.0, 0.9}};
    for (int cell = 0; cell < 12; ++cell) {
        const auto from = static_cast<std::int64_t>(std::lround(cell * width / 12.0));
        const auto to = static_cast<std::int64_t>(std::lround((cell + 1) * width / 12.0));
        screen.fillRect(x + from, y, to - from, 1, lit[cell] ? on[cell % 3] : PixelColor{0.03, 0.03, 0.03});
    }
}

} // namespace kv::channel::testing
