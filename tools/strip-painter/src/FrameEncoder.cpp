#include "FrameEncoder.h"

namespace kv::painter {

FrameCells frameCells(std::uint8_t byte, int phase) {
    FrameCells cells{};
    const bool phaseLit = phase != 0;
    cells[0] = true;
    cells[1] = phaseLit;
    for (int bit = 7; bit >= 0; --bit)
        cells[static_cast<std::size_t>(9 - bit)] = ((byte >> bit) & 1) != 0;
    cells[10] = true;
    cells[11] = phaseLit;
    return cells;
}

FrameCells idleCells() {
    return FrameCells{};
}

bool isSendable(std::string_view text) {
    if (text.size() < 2)
        return false;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 255)
            return false;
    }
    return true;
}

std::optional<std::vector<StripFrame>> framesForMessage(std::string_view text) {
    if (!isSendable(text))
        return std::nullopt;
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), kTerminator.begin(), kTerminator.end());
    std::vector<StripFrame> frames;
    frames.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        for (int phase = 0; phase <= 1; ++phase)
            frames.push_back(StripFrame{byte, phase, frameCells(byte, phase)});
    }
    return frames;
}

} // namespace kv::painter
