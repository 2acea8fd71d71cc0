#include "channel/CalibrationSearch.h"

#include "channel/DecimalText.h"
#include "channel/SampleOffsets.h"

namespace kv::channel {

namespace {

ScreenRect probeAt(std::int64_t line) {
    return {0.0, static_cast<double>(line), kProbeWidth, 1.0};
}

std::string codeText(const std::optional<Rgb>& color) {
    return std::to_string(color ? classifyColor(*color) : kNoColorCode);
}

bool isMagenta(const std::optional<Rgb>& color) {
    return color && classifyColor(*color) == kMagenta;
}

class SearchLog {
public:
    explicit SearchLog(const CalibrationLog& sink) : sink_(sink) {}
    void operator()(const std::string& line) const {
        if (sink_)
            sink_(line + "\n");
    }

private:
    const CalibrationLog& sink_;
};

// The pattern's first cell is magenta; wait until it appears on one of the
// probed lines (1, 2, ... 8, 0, 1, ...).
void waitForPattern(CalibrationScreen& screen, const SearchLog& log) {
    std::int64_t line = 0;
    for (;;) {
        line = line + 1 > kLastProbeLine ? 0 : line + 1;
        screen.waitStep();
        if (isMagenta(screen.colorAt(probeAt(line), 1)) || screen.deadlinePassed())
            break;
    }
    log("CAL: found correct calibration start color at scanline " + std::to_string(line));
    if (screen.deadlinePassed())
        log("CAL: TIMED OUT!");
}

std::int64_t findTopmostLine(CalibrationScreen& screen, const SearchLog& log) {
    std::int64_t vertOffset = -1;
    for (std::int64_t line = 0; line <= kLastProbeLine; ++line) {
        const auto seen = screen.colorAt(probeAt(line), 1);
        log("CAL loop 1: detectedPixelColor at testingScanLine " + std::to_string(line) + " is " +
            codeText(seen));
        if (isMagenta(screen.colorAt(probeAt(line), 1)) && vertOffset == -1)
            vertOffset = line;
    }
    log("CAL: scanVertOffset is now: " + std::to_string(vertOffset));
    if (vertOffset == -1) {
        vertOffset = 0;
        log("CAL: **scanVertOffset adjusted to 0");
    }
    return vertOffset;
}

// The first black column ends the first cell; the sample goes in its middle.
std::int64_t findFirstCellMiddle(CalibrationScreen& screen, std::int64_t vertOffset, const SearchLog& log,
                                 std::int64_t& rightEdge) {
    std::int64_t x = 0;
    for (;;) {
        x = x + 1 > kLastProbeColumn ? 0 : x + 1;
        screen.waitStep();
        const auto color = screen.colorAt(probeAt(vertOffset), x);
        if ((color && classifyColor(*color) == kBlack) || screen.deadlinePassed())
            break;
    }
    if (screen.deadlinePassed())
        log("CAL: TIMED OUT!");
    log("CAL: dropped out of second loop with right edge equal to " + std::to_string(x));
    rightEdge = x;
    std::int64_t horizOffset = (x - 1) / 2;
    log("CAL: scanHorizOffset is now: " + std::to_string(horizOffset));
    if (horizOffset <= 0) {
        horizOffset = 1;
        log("CAL: **scanHorizOffset adjusted to 1");
    }
    return horizOffset;
}

ScreenRect candidateRect(const ScanGeometry& geometry, float width) {
    return {static_cast<double>(geometry.horizOffset), static_cast<double>(geometry.vertOffset),
            static_cast<double>(width), 1.0};
}

float findSmallestWidth(CalibrationScreen& screen, const ScanGeometry& geometry, const SearchLog& log) {
    float width = static_cast<float>(kCellCount) * static_cast<float>(geometry.horizOffset);
    log("CAL: scanning over range " + decimalText(width) + " \u2014 " + decimalText(kMaxSearchWidth));
    for (;;) {
        width += 1.0f;
        if (width >= kMaxSearchWidth) {
            log("CAL: restarted scan search over range " + decimalText(kMinSearchWidth) + " and " +
                decimalText(kMaxSearchWidth));
            width = kMinSearchWidth;
        }
        const ScreenRect rect = candidateRect(geometry, width);
        log("CAL loop: looking over " + rectangleText(rect.x, rect.y, rect.width, rect.height));
        for (int j = 0; j < kCellCount; ++j) {
            const auto seen = screen.colorAt(rect, sampleColumn(j, width));
            log("CAL loop: test width " + decimalText(width) + ": detectedPixelColor at " +
                std::to_string(j) + " was " + codeText(seen));
        }
        screen.waitStep();
        if (matchesCalibrationPattern(screen, width, rect) || screen.deadlinePassed())
            break;
    }
    if (screen.deadlinePassed())
        log("CAL: TIMED OUT!");
    log("CAL: dropped out of third loop with min scan width equal to " + decimalText(width));
    return width;
}

float findLargestWidth(CalibrationScreen& screen, const ScanGeometry& geometry, float minWidth,
                       const SearchLog& log) {
    float width = minWidth;
    for (;;) {
        width = width + 1.0f >= kMaxSearchWidth ? minWidth : width + 1.0f;
        if (!matchesCalibrationPattern(screen, width, candidateRect(geometry, width)) ||
            screen.deadlinePassed())
            break;
    }
    if (screen.deadlinePassed())
        log("CAL: TIMED OUT!");
    const float maxWidth = width - 1.0f;
    log("CAL: dropped out of forth loop with max scan width equal to " + decimalText(maxWidth));
    return maxWidth;
}

} // namespace

bool matchesCalibrationPattern(CalibrationScreen& screen, float width, const ScreenRect& rect) {
    for (int i = 0; i < kCellCount; ++i) {
        const auto color = screen.colorAt(rect, sampleColumn(i, width));
        if (!color || classifyColor(*color) != kCalibrationPattern[static_cast<std::size_t>(i)])
            return false;
    }
    return true;
}

bool searchCalibration(ScanGeometry& geometry, CalibrationScreen& screen, const CalibrationLog& sink,
                       std::int64_t* firstCellWidth) {
    const SearchLog log(sink);
    waitForPattern(screen, log);
    geometry.vertOffset = findTopmostLine(screen, log);
    std::int64_t rightEdge = 0;
    geometry.horizOffset = findFirstCellMiddle(screen, geometry.vertOffset, log, rightEdge);
    if (firstCellWidth)
        *firstCellWidth = rightEdge;
    const float minWidth = findSmallestWidth(screen, geometry, log);
    const float maxWidth = findLargestWidth(screen, geometry, minWidth, log);
    geometry.width = static_cast<double>((minWidth + maxWidth) * 0.5f);
    return !screen.deadlinePassed();
}

} // namespace kv::channel
