// The search that finds the strip from the add-on's calibration pattern: the
// topmost screen line showing it, the width of its first cell, and the range
// of strip widths for which all 12 cells show the expected colours.
#pragma once

#include "channel/ColorCode.h"
#include "channel/SampleOffsets.h"
#include "channel/ScanGeometry.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kv::channel {

// Colour codes of the pattern's 12 cells, left to right.
inline constexpr std::array<int, kCellCount> kCalibrationPattern{
    kMagenta, kBlack, kYellow, kBlue, kGreen, kRed, kWhite, kMagenta, kCyan, kYellow, kCyan, kBlack};

// How long the Calibrate command searches before it gives up.
inline constexpr std::chrono::seconds kCalibrationTimeLimit{90};

// Widths are searched below this bound and wrap around to kMinSearchWidth.
inline constexpr float kMaxSearchWidth = 200.0f;
inline constexpr float kMinSearchWidth = 12.0f;
// The pattern's line is looked for among screen lines 0..8, its first cell's
// right edge among columns 0..10, with a probe this wide.
inline constexpr int kLastProbeLine = 8;
inline constexpr int kLastProbeColumn = 10;
inline constexpr double kProbeWidth = 25.0;

struct ScreenRect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 1.0;
};

// What the search needs from the platform.
class CalibrationScreen {
public:
    virtual ~CalibrationScreen() = default;
    // Captures `rect` of the main display afresh and returns the colour of
    // row 0 at `column`, or nothing when there is no such pixel or no image.
    virtual std::optional<Rgb> colorAt(const ScreenRect& rect, std::int64_t column) = 0;
    // One waiting step: lets the application run for a moment and beeps when due.
    virtual void waitStep() = 0;
    virtual bool deadlinePassed() = 0;
};

// Receives each "CAL" line, line break included. Empty: nothing is logged.
using CalibrationLog = std::function<void(const std::string&)>;

// True when every cell of a strip `width` pixels wide, captured at `rect`,
// shows the pattern's colour; each cell is a fresh capture.
bool matchesCalibrationPattern(CalibrationScreen& screen, float width, const ScreenRect& rect);

// Runs the search, writing its intermediate and final values into `geometry`.
// True when it ended before the deadline; storing the result is the caller's.
// `firstCellWidth`, when given, receives the first black column found: the
// width in pixels of the pattern's first cell, which starts at column 0.
bool searchCalibration(ScanGeometry& geometry, CalibrationScreen& screen, const CalibrationLog& log,
                       std::int64_t* firstCellWidth = nullptr);

// The scale the add-on's strip is drawn at, from the width of its first cell:
// the add-on's cells are 4 physical pixels wide at a scale of 1.
inline constexpr double kCellPixelsAtScaleOne = 4.0;
inline double stripScale(std::int64_t firstCellWidth) {
    return static_cast<double>(firstCellWidth) / kCellPixelsAtScaleOne;
}

} // namespace kv::channel
