// Painting the add-on's strip and calibration pattern onto the fake screen.
#pragma once

#include "FakeScreenCapture.h"
#include "PaintedScreen.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace kv::channel::testing {

inline void paintLetters(fakes::FakeScreenCapture& screen, std::int64_t y, const std::string& letters) {
    for (std::size_t x = 0; x < letters.size(); ++x) {
        const Rgb c = colorOfLetter(letters[x]);
        screen.setPixel(static_cast<std::int64_t>(x), y, PixelColor{c.red, c.green, c.blue});
    }
}

// The strip as the add-on paints one character frame: 12 equal cells across
// `width` pixels from `x`, markers lit, both phase cells lit for phase 1.
inline void paintFrame(fakes::FakeScreenCapture& screen, std::int64_t x, std::int64_t y, double width,
                       int value, int phase) {
    bool lit[12] = {true,  phase != 0, false, false, false, false,
                    false, false,      false, false, true,  phase != 0};
    for (int bit = 0; bit < 8; ++bit)
        lit[9 - bit] = ((value >> bit) & 1) != 0;
    for (int cell = 0; cell < 12; ++cell) {
        const auto from = static_cast<std::int64_t>(std::lround(cell * width / 12.0));
        const auto to = static_cast<std::int64_t>(std::lround((cell + 1) * width / 12.0));
        // Lit cells in changing colours: any one lit component makes a cell lit.
        const PixelColor on[3] = {{1.0, 0.0, 0.0}, {0.0, 0.2, 0.0}, {0.0, 0.0, 0.9}};
        screen.fillRect(x + from, y, to - from, 1, lit[cell] ? on[cell % 3] : PixelColor{0.03, 0.03, 0.03});
    }
}

} // namespace kv::channel::testing
