// The add-on's golden data, read from the files it shares with the painter.
#pragma once

#include "FrameEncoder.h"
#include "StripScene.h"

#include <string>
#include <vector>

namespace kv::painter::test_support {

struct GoldenMessage {
    std::string text;
    std::vector<StripFrame> frames;
};

struct GoldenCell {
    int cell = 0;
    int code = 0;
    Rgb colour; // components 0 or 1 in the file, 0 or 255 here
};

// Empty vectors when a file cannot be read; the tests then fail on the count.
std::vector<GoldenMessage> readGoldenFrames();
std::vector<GoldenCell> readGoldenCalibration();

} // namespace kv::painter::test_support
