#include "QrCode.h"

#include "PngWriter.h"

#include <qrencode.h>

namespace kesh::host {

std::optional<QrCode> encodeQr(const std::string& text) {
    QRcode* encoded = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (encoded == nullptr) {
        return std::nullopt;
    }
    QrCode code;
    code.side = encoded->width;
    code.dark.resize(std::size_t(code.side) * std::size_t(code.side));
    for (std::size_t i = 0; i < code.dark.size(); ++i) {
        code.dark[i] = (encoded->data[i] & 1) != 0;
    }
    QRcode_free(encoded);
    return code;
}

std::string qrForTerminal(const QrCode& code, bool colours) {
    constexpr int kQuiet = 2;
    // Upper and lower module of each character: neither, lower, upper, both.
    static const char* const kGlyphs[] = {" ", "\u2584", "\u2580", "\u2588"};
    std::string text;
    for (int y = -kQuiet; y < code.side + kQuiet; y += 2) {
        text += colours ? "\x1b[30;47m" : "";
        for (int x = -kQuiet; x < code.side + kQuiet; ++x) {
            text += kGlyphs[(code.isDark(x, y) ? 2 : 0) + (code.isDark(x, y + 1) ? 1 : 0)];
        }
        text += colours ? "\x1b[0m\n" : "\n";
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> qrPng(const QrCode& code, int scale) {
    constexpr int kQuiet = 4;
    const int side = (code.side + 2 * kQuiet) * scale;
    std::vector<std::uint8_t> rgba(std::size_t(side) * std::size_t(side) * 4, 255);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (code.isDark(x / scale - kQuiet, y / scale - kQuiet)) {
                const std::size_t at = (std::size_t(y) * std::size_t(side) + std::size_t(x)) * 4;
                rgba[at] = rgba[at + 1] = rgba[at + 2] = 0;
            }
        }
    }
    std::string problem;
    return encodeRgbaPng(side, side, rgba, problem);
}

} // namespace kesh::host
