#include "GoldenData.h"

#include <fstream>
#include <sstream>

namespace kv::painter::test_support {

namespace {

std::vector<std::string> contentLines(const std::string& fileName) {
    std::ifstream in(std::string(KV_GOLDEN_DIR) + "/" + fileName);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    return lines;
}

} // namespace

std::vector<GoldenMessage> readGoldenFrames() {
    std::vector<GoldenMessage> messages;
    for (const std::string& line : contentLines("strip-frames.txt")) {
        if (line.starts_with("message ")) {
            messages.push_back({line.substr(8), {}});
            continue;
        }
        std::istringstream in(line);
        std::string cells;
        int byte = -1;
        StripFrame frame;
        in >> cells >> byte >> frame.phase;
        if (messages.empty() || cells.size() != frame.cells.size() || byte < 0 || byte > 255)
            return {};
        frame.byte = static_cast<std::uint8_t>(byte);
        for (std::size_t i = 0; i < cells.size(); ++i)
            frame.cells[i] = cells[i] == '1';
        messages.back().frames.push_back(frame);
    }
    return messages;
}

std::vector<GoldenCell> readGoldenCalibration() {
    std::vector<GoldenCell> cells;
    for (const std::string& line : contentLines("calibration-pattern.txt")) {
        std::istringstream in(line);
        GoldenCell cell;
        in >> cell.cell >> cell.code >> cell.colour.red >> cell.colour.green >> cell.colour.blue;
        cell.colour = {cell.colour.red * 255, cell.colour.green * 255, cell.colour.blue * 255};
        cells.push_back(cell);
    }
    return cells;
}

} // namespace kv::painter::test_support
