// The painter's command line and its standard-input commands.
#include "PainterOptions.h"

#include <gtest/gtest.h>

using namespace kv::painter;

namespace {

const CalibrationGeometry kDefaults{0, 4, 48, 4};

OptionsResult parse(QStringList args) {
    args.prepend("strip-painter");
    return parsePainterOptions(args);
}

} // namespace

TEST(PainterInput, LinesBecomeCommandsWithTheMessageTextKeptWhole) {
    const std::pair<std::string_view, PainterCommand> cases[] = {
        {"message Thrall-Aerie Peak", MessageCommand{"Thrall-Aerie Peak"}},
        {"message  two  blanks \r", MessageCommand{" two  blanks "}},
        {"calibrate 3 9 108", CalibrateCommand{{3, 9, 108, 4}, std::nullopt}},
        {"calibrate 2", CalibrateCommand{{2, 4, 48, 4}, std::nullopt}},
        {"calibrate 0 4 48 1.5", CalibrateCommand{kDefaults, 1.5}},
        {"move 400 -20", MoveCommand{400, -20}},
        {" quit \r", QuitCommand{}},
        {"idle", IdleCommand{}},
    };
    for (const auto& [line, command] : cases) {
        const ParsedCommand parsed = parseCommandLine(line, kDefaults);
        EXPECT_EQ(parsed.error, "") << line;
        EXPECT_EQ(parsed.command, std::optional<PainterCommand>(command)) << line;
    }
    EXPECT_FALSE(parseCommandLine("   ", kDefaults).command.has_value());
    for (std::string_view line : {"message", "calibrate 3 x", "calibrate 3 9 19", "calibrate 1 8 96 -2",
                                  "move 4", "move a b", "paint 3", "idle now"}) {
        const ParsedCommand parsed = parseCommandLine(line, kDefaults);
        EXPECT_FALSE(parsed.command.has_value()) << line;
        EXPECT_NE(parsed.error, "") << line;
    }
}

TEST(PainterInput, CommandLineSetsTheStripTheWindowAndTheFirstCommands) {
    const OptionsResult messages = parse({"message", "Thrall-Aerie Peak", "N3100", "--hold", "0.25"});
    ASSERT_EQ(messages.error, "");
    EXPECT_DOUBLE_EQ(messages.options.holdSeconds, 0.25);
    EXPECT_EQ(messages.options.commands,
              (std::vector<PainterCommand>{MessageCommand{"Thrall-Aerie Peak"}, MessageCommand{"N3100"}}));
    EXPECT_FALSE(messages.options.window.has_value());
    // The add-on's pattern at a scale of 1.5: 6-pixel cells, shown for 90 seconds.
    EXPECT_EQ(parse({"calibrate", "--scale", "1.5"}).options.commands,
              (std::vector<PainterCommand>{CalibrateCommand{{0, 6, 72, 6}, 90.0}}));
    const OptionsResult window = parse({"--stdin", "--window", "World of Warcraft", "--at", "400,300"});
    EXPECT_EQ(window.options.window, (WindowPlacement{"World of Warcraft", 400, 300}));
    // A fractional cell spreads its rounding: 80 pixels for the application's uncalibrated width.
    EXPECT_EQ(parse({"--stdin", "--cell", "6.6667"}).options.calibrationDefaults,
              (CalibrationGeometry{0, 7, 80, 7}));
    for (const QStringList& wrong :
         {QStringList{}, QStringList{"message"}, QStringList{"draw"},
          QStringList{"message", "AB", "--hold", "-1"}, QStringList{"message", "AB", "--cell", "0.5"},
          QStringList{"calibrate", "--width", "14"}, QStringList{"--stdin", "--at", "400"},
          QStringList{"--bogus"}})
        EXPECT_NE(parse(wrong).error, "") << wrong.join(' ').toStdString();
}
