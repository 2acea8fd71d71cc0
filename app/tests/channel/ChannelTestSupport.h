// The fake screen painted as the add-on paints it, and a controller after a
// first start with the default geometry (x 2, y 1, width 80) on the fake
// platform and its simulated clock.
#pragma once

#include "FakePlatform.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kv::channel::testing {

// Rows are painted from letters, one per pixel, named by colour code (K black,
// R red, G green, B blue, Y yellow, C cyan, M magenta, W white); any other
// letter is a grey too dim to be lit.
inline void paintLetters(fakes::FakeScreenCapture& screen, std::int64_t y, const std::string& letters) {
    static const std::string codes = "KRGBYCMW";
    static const PixelColor colors[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                        {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
    for (std::size_t x = 0; x < letters.size(); ++x) {
        const auto code = codes.find(letters[x]);
        screen.setPixel(static_cast<std::int64_t>(x), y,
                        code == std::string::npos ? PixelColor{0.04, 0.04, 0.04} : colors[code]);
    }
}

// The calibration pattern, its first cell `firstCellWidth` pixels wide and
// the others `cellWidth`, followed by the game's bright scene.
inline std::string paintedPattern(std::size_t firstCellWidth, std::size_t cellWidth) {
    std::string row(firstCellWidth, 'M');
    for (char cell : std::string("KYBGRWMCYCK"))
        row += std::string(cellWidth, cell);
    return row + std::string(100, 'W');
}

// One character frame as the add-on paints it: 12 equal cells across `width`
// pixels from `x`, markers lit, both phase cells lit for phase 1; lit cells
// in changing colours, as any one lit component makes a cell lit.
inline void paintFrame(fakes::FakeScreenCapture& screen, std::int64_t x, std::int64_t y, double width,
                       int value, int phase) {
    bool lit[12] = {true,  phase != 0, false, false, false, false,
                    false, false,      false, false, true,  phase != 0};
    for (int bit = 0; bit < 8; ++bit)
        lit[9 - bit] = ((value >> bit) & 1) != 0;
    const PixelColor on[3] = {{1.0, 0.0, 0.0}, {0.0, 0.2, 0.0}, {0.0, 0.0, 0.9}};
    for (int cell = 0; cell < 12; ++cell) {
        const auto from = static_cast<std::int64_t>(std::lround(cell * width / 12.0));
        const auto to = static_cast<std::int64_t>(std::lround((cell + 1) * width / 12.0));
        screen.fillRect(x + from, y, to - from, 1, lit[cell] ? on[cell % 3] : PixelColor{0.03, 0.03, 0.03});
    }
}

class ControllerTest : public ::testing::Test {
protected:
    fakes::FakePlatform fake;
    AppDelegate controller{fake.platform()};

    void SetUp() override {
        fake.attach(controller);
        controller.loadCalibration();
        controller.myScanRect = Rect{2.0, 1.0, 80.0, 1.0};
        controller.computePixelOffsets();
    }
};

} // namespace kv::channel::testing
