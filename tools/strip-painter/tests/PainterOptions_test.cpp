#include "PainterOptions.h"

#include <gtest/gtest.h>

using namespace kv::painter;

namespace {
OptionsResult parse(QStringList args) {
    args.prepend("strip-painter");
    return parsePainterOptions(args);
}
} // namespace

TEST(PainterOptions, MessagesAreQueuedInOrderWithTheHold) {
    const OptionsResult r = parse({"message", "Thrall-Aerie Peak", "N3100", "--hold", "0.25"});
    ASSERT_EQ(r.error, "");
    EXPECT_DOUBLE_EQ(r.options.holdSeconds, 0.25);
    ASSERT_EQ(r.options.commands.size(), 2u);
    EXPECT_EQ(r.options.commands[0], PainterCommand{MessageCommand{"Thrall-Aerie Peak"}});
    EXPECT_EQ(r.options.commands[1], PainterCommand{MessageCommand{"N3100"}});
}

TEST(PainterOptions, CalibrationGeometryFromOptionsAndCell) {
    const OptionsResult r =
        parse({"calibrate", "--line", "3", "--first-cell", "9", "--width", "108", "--seconds", "2"});
    EXPECT_EQ(r.options.commands.at(0), PainterCommand(CalibrateCommand{{3, 9, 108, 8}, 2.0}));
    // Without options the add-on's pattern: 8-pixel cells from line 0, shown for 90 seconds.
    EXPECT_EQ(parse({"calibrate"}).options.commands.at(0),
              PainterCommand(CalibrateCommand{{0, 8, 96, 8}, 90.0}));
    // A fractional cell spreads its rounding: 80 pixels for the application's uncalibrated width.
    const OptionsResult fractional = parse({"--stdin", "--cell", "6.6667"});
    ASSERT_EQ(fractional.error, "");
    EXPECT_TRUE(fractional.options.commands.empty());
    EXPECT_EQ(fractional.options.calibrationDefaults, (CalibrationGeometry{0, 7, 80, 7}));
}

TEST(PainterOptions, RejectsMeaninglessCommandLines) {
    for (const QStringList& args :
         {QStringList{}, QStringList{"message"}, QStringList{"draw"},
          QStringList{"message", "AB", "--hold", "-1"}, QStringList{"message", "AB", "--cell", "0.5"},
          QStringList{"calibrate", "--width", "18"}, QStringList{"--bogus"}}) {
        EXPECT_NE(parse(args).error, "") << args.join(' ').toStdString();
    }
}
