// The painter's commands, from its command line or one per line of standard
// input: "message TEXT", "calibrate [LINE [FIRST-CELL [WIDTH [SECONDS]]]]",
// "move X Y", "idle", "quit".
#pragma once

#include "CalibrationPattern.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kv::painter {

struct MessageCommand {
    std::string text; // the bytes to send, as given

    bool operator==(const MessageCommand&) const = default;
};

struct CalibrateCommand {
    CalibrationGeometry geometry;
    // Absent: shown until the next command arrives.
    std::optional<double> seconds;

    bool operator==(const CalibrateCommand&) const = default;
};

// Moves the painter's own window (window mode) to X, Y on the screen.
struct MoveCommand {
    int x = 0;
    int y = 0;

    bool operator==(const MoveCommand&) const = default;
};

struct IdleCommand {
    bool operator==(const IdleCommand&) const = default;
};

struct QuitCommand {
    bool operator==(const QuitCommand&) const = default;
};

using PainterCommand = std::variant<MessageCommand, CalibrateCommand, MoveCommand, IdleCommand, QuitCommand>;

struct ParsedCommand {
    std::optional<PainterCommand> command; // absent for a blank line or an error
    std::string error;                     // empty unless the line is wrong
};

// One input line. The text of "message" is everything after its first blank,
// blanks kept; a trailing carriage return is dropped. Geometry not given on
// the line comes from `defaults`.
ParsedCommand parseCommandLine(std::string_view line, const CalibrationGeometry& defaults);

} // namespace kv::painter
