// A screen for tests: rows of pixels painted from letters, one letter per
// pixel (K black, R red, G green, B blue, Y yellow, C cyan, M magenta,
// W white, '.' a dim grey that reads as unlit). Captures are honest: a
// rectangle gives pixels only inside itself and inside the screen.
#pragma once

#include "channel/CalibrationSearch.h"
#include "channel/ColorCode.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::channel::testing {

inline Rgb colorOfLetter(char letter) {
    constexpr double on = 1.0, dim = 0.04;
    switch (letter) {
    case 'R':
        return {on, 0, 0};
    case 'G':
        return {0, on, 0};
    case 'B':
        return {0, 0, on};
    case 'Y':
        return {on, on, 0};
    case 'C':
        return {0, on, on};
    case 'M':
        return {on, 0, on};
    case 'W':
        return {on, on, on};
    case '.':
        return {dim, dim, dim};
    default:
        return {0, 0, 0};
    }
}

class PaintedScreen {
public:
    void paintRow(std::size_t row, const std::string& letters) {
        if (rows_.size() <= row)
            rows_.resize(row + 1);
        rows_[row] = letters;
    }
    void clear() { rows_.clear(); }

    // Colour at `column` of row 0 of a capture of `rect`.
    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) const {
        if (column < 0 || static_cast<double>(column) >= std::ceil(rect.width))
            return std::nullopt;
        const auto x = static_cast<std::int64_t>(rect.x) + column;
        const auto y = static_cast<std::int64_t>(rect.y);
        if (y < 0 || x < 0 || static_cast<std::size_t>(y) >= rows_.size())
            return Rgb{};
        const std::string& row = rows_[static_cast<std::size_t>(y)];
        return static_cast<std::size_t>(x) < row.size() ? colorOfLetter(row[static_cast<std::size_t>(x)])
                                                        : Rgb{};
    }

private:
    std::vector<std::string> rows_;
};

// The add-on's calibration pattern, its first cell `firstCellWidth` pixels
// wide and the others `cellWidth`, followed by the game's bright scene.
inline std::string paintedPattern(std::size_t firstCellWidth, std::size_t cellWidth) {
    std::string row(firstCellWidth, 'M');
    for (char cell : std::string("KYBGRWMCYCK"))
        row += std::string(cellWidth, cell);
    return row + std::string(100, 'W');
}

// Sampled from the middle of its 9-pixel first cell (x = 4), this strip
// shows the pattern for exactly the widths 104 to 112.
inline const std::string kPatternMatching104To112 = paintedPattern(9, 9);

} // namespace kv::channel::testing
