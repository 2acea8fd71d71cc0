// The add-on's golden data (tests/golden/), shared by the add-on's tests, the
// strip painter's and the reader's, so that the sides of the strip cannot
// drift apart. Empty results when a file cannot be read: tests then fail on
// the count.
#pragma once

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kv::testsupport {

struct GoldenFrame {
    std::array<bool, 12> lit{}; // cells left to right
    int byte = 0;
    int phase = 0;
};

struct GoldenMessage {
    std::string text;
    std::vector<GoldenFrame> frames;
};

struct GoldenCell {
    int cell = 0;
    int code = 0;
    std::array<double, 3> rgb{}; // each 0 or 1
};

inline std::vector<std::string> goldenLines(const std::string& file) {
    std::ifstream in(std::string(KV_GOLDEN_DIR) + "/" + file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}

inline std::vector<GoldenMessage> readGoldenFrames() {
    std::vector<GoldenMessage> messages;
    for (const std::string& line : goldenLines("strip-frames.txt")) {
        if (line.starts_with("message ")) {
            messages.push_back({line.substr(8), {}});
            continue;
        }
        std::istringstream in(line);
        std::string cells;
        GoldenFrame frame;
        in >> cells >> frame.byte >> frame.phase;
        if (messages.empty() || cells.size() != frame.lit.size())
            return {};
        for (std::size_t i = 0; i < cells.size(); ++i)
            frame.lit[i] = cells[i] == '1';
        messages.back().frames.push_back(frame);
    }
    return messages;
}

inline std::vector<GoldenCell> readGoldenPattern() {
    std::vector<GoldenCell> cells;
    for (const std::string& line : goldenLines("calibration-pattern.txt")) {
        std::istringstream in(line);
        GoldenCell cell;
        in >> cell.cell >> cell.code >> cell.rgb[0] >> cell.rgb[1] >> cell.rgb[2];
        cells.push_back(cell);
    }
    return cells;
}

} // namespace kv::testsupport
