#include "PainterCommand.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <vector>

namespace kv::painter {

namespace {

std::vector<std::string> words(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

bool readInt(const std::string& word, int& value) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc{} && ptr == end;
}

bool readSeconds(const std::string& word, double& value) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc{} && ptr == end && std::isfinite(value) && value >= 0.0;
}

ParsedCommand failure(std::string why) {
    return ParsedCommand{std::nullopt, std::move(why)};
}

ParsedCommand parseCalibrate(const std::vector<std::string>& args, const CalibrationGeometry& defaults) {
    if (args.size() > 5)
        return failure("calibrate takes at most LINE FIRST-CELL WIDTH SECONDS");
    CalibrateCommand command{defaults, std::nullopt};
    int* fields[] = {&command.geometry.line, &command.geometry.firstCell, &command.geometry.width};
    for (std::size_t i = 1; i < args.size() && i <= 3; ++i) {
        if (!readInt(args[i], *fields[i - 1]))
            return failure("not a whole number: " + args[i]);
    }
    if (args.size() == 5) {
        double seconds = 0.0;
        if (!readSeconds(args[4], seconds))
            return failure("not a number of seconds: " + args[4]);
        command.seconds = seconds;
    }
    if (std::string why = calibrationGeometryError(command.geometry); !why.empty())
        return failure(why);
    return ParsedCommand{command, {}};
}

} // namespace

ParsedCommand parseCommandLine(std::string_view line, const CalibrationGeometry& defaults) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const std::string_view messageWord = "message";
    if (line.starts_with(messageWord) && line.size() > messageWord.size() && line[messageWord.size()] == ' ')
        return ParsedCommand{MessageCommand{std::string(line.substr(messageWord.size() + 1))}, {}};

    const std::vector<std::string> args = words(line);
    if (args.empty())
        return {};
    if (args[0] == "calibrate")
        return parseCalibrate(args, defaults);
    if (args[0] == "move") {
        MoveCommand move;
        if (args.size() != 3 || !readInt(args[1], move.x) || !readInt(args[2], move.y))
            return failure("move needs X and Y in whole pixels");
        return ParsedCommand{move, {}};
    }
    if (args.size() == 1 && args[0] == "idle")
        return ParsedCommand{IdleCommand{}, {}};
    if (args.size() == 1 && args[0] == "quit")
        return ParsedCommand{QuitCommand{}, {}};
    if (args[0] == "message")
        return failure("message needs a text");
    return failure("unknown command: " + std::string(line));
}

} // namespace kv::painter
