// The painter's command line, read with QCommandLineParser.
#pragma once

#include "PainterCommand.h"

#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace kv::painter {

// The add-on holds each frame this long: a reader late by up to 0.1 s still
// sees every frame.
inline constexpr double kDefaultHoldSeconds = 0.15;
// The add-on keeps its strip black at least this long between messages.
inline constexpr double kGapSeconds = 0.5;
// The add-on shows the pattern this long after its slash command.
inline constexpr double kDefaultCalibrationSeconds = 90.0;

// A window of the painter's own, titled and placed like the game's window,
// instead of a bare strip at the screen's corner.
struct WindowPlacement {
    std::string title;
    int x = 0;
    int y = 0;

    bool operator==(const WindowPlacement&) const = default;
};

struct PainterOptions {
    double holdSeconds = kDefaultHoldSeconds;
    double cellPixels = kDefaultCellPixels;
    std::optional<WindowPlacement> window;
    bool readStdin = false;
    // Defaults for "calibrate" lines read from standard input.
    CalibrationGeometry calibrationDefaults;
    // What the command line asks for, before any standard-input line.
    std::vector<PainterCommand> commands;
};

struct OptionsResult {
    PainterOptions options;
    std::string error; // empty on success
    bool helpShown = false;
};

// `arguments` includes the program name first, as QCoreApplication gives it.
OptionsResult parsePainterOptions(const QStringList& arguments);

} // namespace kv::painter
