// The add-on tests' captures read by the application's calibration search and decoder. In, a line each:
// "<seconds> <row 0> ... <row 8>" (a colour code 0..7 a pixel), the first the calibration pattern. Out:
// "calibrated <width> <horizontal offset> <vertical offset>", then "message <text>" lines.
#include "channel/ByteConfirmation.h"
#include "channel/CalibrationSearch.h"
#include "channel/MessageAssembly.h"
#include "channel/SampleOffsets.h"

#include <iostream>
#include <iterator>
#include <sstream>

using namespace kv::channel;

struct Capture : CalibrationScreen {
    double seconds = 0.0;
    std::vector<std::string> rows;
    long captures = 0;

    bool read() {
        std::string line;
        std::getline(std::cin, line);
        std::istringstream fields(line);
        fields >> seconds;
        rows.assign(std::istream_iterator<std::string>(fields), {});
        return !rows.empty();
    }
    std::optional<Rgb> at(std::int64_t x, std::int64_t y) const {
        static constexpr Rgb kByCode[8] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                           {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
        if (y < 0 || y >= std::ssize(rows) || x < 0 || x >= std::ssize(rows[y]))
            return std::nullopt;
        return kByCode[rows[y][x] - '0'];
    }
    // The pattern stays on screen while the search runs, which gives up after about 90 s of captures.
    std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) override {
        ++captures;
        if (column >= rect.width)
            return std::nullopt;
        return at(static_cast<std::int64_t>(rect.x) + column, static_cast<std::int64_t>(rect.y));
    }
    void waitStep() override {}
    bool deadlinePassed() override { return captures > 2'000'000; }
};

int main() {
    Capture capture;
    ScanGeometry geometry;
    if (!capture.read() || !searchCalibration(geometry, capture, {}))
        return 1;
    std::cout << "calibrated " << geometry.width << ' ' << geometry.horizOffset << ' ' << geometry.vertOffset
              << '\n';
    const auto offsets = computeSampleOffsets(geometry.width);
    std::string phase1Key, phase2Key;
    std::vector<std::uint8_t> nameInProgress;
    std::int64_t rememberLastChar = 0;
    double lastByteAt = 0.0;
    while (capture.read()) {
        CellStates lit{};
        for (std::size_t i = 0; i < lit.size(); ++i) {
            const auto color = capture.at(geometry.horizOffset + offsets[i], geometry.vertOffset);
            lit[i] = color && isLit(color->red, color->green, color->blue);
        }
        // The application drops an unfinished message after 3 s without a byte.
        if (capture.seconds - lastByteAt >= 3.0)
            nameInProgress.clear();
        if (const auto accepted = confirmFrame(phase1Key, phase2Key, framePhase(lit), frameValue(lit))) {
            lastByteAt = capture.seconds;
            const auto result = acceptByte(nameInProgress, rememberLastChar, *accepted);
            if (result.outcome == ByteOutcome::MessageComplete)
                std::cout << "message " << result.text << '\n';
        }
    }
}
