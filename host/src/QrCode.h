// The display's address as a QR code, for a phone's camera: drawn in the
// terminal with half blocks, and as a PNG for the overview page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kesh::host {

struct QrCode {
    int side = 0;           // modules per row and column
    std::vector<bool> dark; // row by row
    bool isDark(int x, int y) const {
        return x >= 0 && y >= 0 && x < side && y < side &&
               dark[std::size_t(y) * std::size_t(side) + std::size_t(x)];
    }
};

// Encodes `text` (error correction level M); nullopt when it does not fit.
std::optional<QrCode> encodeQr(const std::string& text);

// Lines of text, two modules a character ("▀", "▄", "█" or a space), with a
// quiet zone of two modules. A glyph's ink is a dark module; with `colours`
// the code is drawn black on white (ANSI), so that it reads on a dark
// terminal as well.
std::string qrForTerminal(const QrCode& code, bool colours);

// Black on white with a quiet zone of four modules, `scale` pixels a module.
std::optional<std::vector<std::uint8_t>> qrPng(const QrCode& code, int scale);

} // namespace kesh::host
