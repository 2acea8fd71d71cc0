// The painter's command line, read with QCommandLineParser.
#pragma once

#include "PainterCommand.h"

#include <QStringList>

#include <string>
#include <vector>

namespace kv::painter {

// The add-on holds each frame this long: twice the reader's 0.05 s period.
inline constexpr double kDefaultHoldSeconds = 0.1;
// The add-on shows the pattern this long after its slash command.
inline constexpr double kDefaultCalibrationSeconds = 90.0;

struct PainterOptions {
    double holdSeconds = kDefaultHoldSeconds;
    double cellPixels = kDefaultCellPixels;
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
