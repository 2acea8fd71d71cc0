#include "PainterCommand.h"

#include <gtest/gtest.h>

using namespace kv::painter;

namespace {
const CalibrationGeometry kDefaults{0, 8, 96, 8};

PainterCommand commandOf(std::string_view line) {
    ParsedCommand parsed = parseCommandLine(line, kDefaults);
    EXPECT_EQ(parsed.error, "") << line;
    return parsed.command.value_or(IdleCommand{});
}
} // namespace

TEST(PainterCommand, MessageTextIsEverythingAfterTheFirstBlank) {
    EXPECT_EQ(commandOf("message Thrall-Aerie Peak"), PainterCommand{MessageCommand{"Thrall-Aerie Peak"}});
    EXPECT_EQ(commandOf("message  two  blanks \r"), PainterCommand{MessageCommand{" two  blanks "}});
    EXPECT_EQ(commandOf("message \xc3\x8blf-Der Rat"), PainterCommand{MessageCommand{"\xc3\x8blf-Der Rat"}});
}

TEST(PainterCommand, CalibrateFillsMissingGeometryFromTheDefaults) {
    EXPECT_EQ(commandOf("calibrate 3 9 108"), PainterCommand(CalibrateCommand{{3, 9, 108, 8}, std::nullopt}));
    EXPECT_EQ(commandOf("calibrate 2"), PainterCommand(CalibrateCommand{{2, 8, 96, 8}, std::nullopt}));
    EXPECT_EQ(commandOf("calibrate 0 8 96 1.5"), PainterCommand(CalibrateCommand{kDefaults, 1.5}));
}

TEST(PainterCommand, IdleQuitAndBlankLines) {
    EXPECT_EQ(commandOf("idle"), PainterCommand{IdleCommand{}});
    EXPECT_EQ(commandOf(" quit \r"), PainterCommand{QuitCommand{}});
    const ParsedCommand blank = parseCommandLine("   ", kDefaults);
    EXPECT_FALSE(blank.command.has_value());
    EXPECT_EQ(blank.error, "");
}

TEST(PainterCommand, WrongLinesAreErrorsNotCommands) {
    for (std::string_view line : {"message", "calibrate 3 x", "calibrate 3 9 19", "calibrate -1",
                                  "calibrate 1 8 96 -2", "calibrate 1 8 96 1 extra", "paint 3", "idle now"}) {
        const ParsedCommand parsed = parseCommandLine(line, kDefaults);
        EXPECT_FALSE(parsed.command.has_value()) << line;
        EXPECT_NE(parsed.error, "") << line;
    }
}
