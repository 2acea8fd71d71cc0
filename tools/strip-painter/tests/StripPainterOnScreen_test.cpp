// Runs the real painter on a private Xvfb display and grabs that screen from
// this process. (The application's GUI tests read its frames and calibrate
// to its pattern at every scale; here is what they cannot see.)
#include "CalibrationPattern.h"
#include "DisplayServer.h"
#include "GoldenData.h"
#include "PainterProcess.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kv::painter;
using kv::testsupport::PainterProcess;
using namespace std::chrono_literals;

namespace {

std::string display;

Rgb rgbAt(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

TEST(StripPainterOnScreen, PaintsFlatCellsAtItsScaleInAWindowOfItsOwnAndFollowsItsMoves) {
    const auto golden = kv::testsupport::readGoldenPattern();
    ASSERT_EQ(golden.size(), static_cast<std::size_t>(kCellCount));
    PainterProcess painter(KV_STRIP_PAINTER, display);
    ASSERT_TRUE(
        painter.start({"--stdin", "--window", "World of Warcraft", "--at", "400,300", "--scale", "1.5"}));
    for (long shown = 1; const QPoint corner : {QPoint(400, 300), QPoint(120, 40)}) {
        painter.send("move " + std::to_string(corner.x()) + " " + std::to_string(corner.y()));
        painter.send("calibrate 2");
        ASSERT_TRUE(
            painter.waitFor("moved: " + std::to_string(corner.x()) + " " + std::to_string(corner.y())));
        ASSERT_TRUE(kv::testsupport::waitUntil([&] { return painter.count("calibrating") == shown; }, 10s));
        ++shown;
        // Black above line 2, then flat 6-pixel cells in the add-on's colours, and the bright guard after
        // them.
        const QImage image =
            QGuiApplication::primaryScreen()->grabWindow(0, corner.x(), corner.y(), 78, 8).toImage();
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 78; ++x) {
                const auto lit =
                    x < 72 ? golden[static_cast<std::size_t>(x / 6)].rgb : std::array{1.0, 1.0, 1.0};
                const auto level = [&](int c) { return y < 2 ? 0 : static_cast<int>(lit[c] * 255); };
                ASSERT_EQ(rgbAt(image, x, y), (Rgb{level(0), level(1), level(2)})) << x << ", " << y;
            }
    }
}

TEST(StripPainterOnScreen, CommandLineMessagesArePaintedInOrderUnsendableTextIsRefusedThenThePainterExits) {
    PainterProcess painter(KV_STRIP_PAINTER, display);
    ASSERT_TRUE(painter.start({"message", "Ab", "A", "N3100", "--hold", "0.02"}));
    EXPECT_EQ(painter.waitForExit(), 0);
    EXPECT_EQ(painter.lines(),
              (std::vector<std::string>{"ready", "painted: Ab", "refused: A", "painted: N3100"}));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    kv::testsupport::DisplayServer server;
    if (const std::string why = server.start(kv::testsupport::DisplayServer::Kind::Xvfb, 640, 480);
        !why.empty()) {
        std::fprintf(stderr, "no display for the painter's tests: %s\n", why.c_str());
        return 1;
    }
    display = server.name();
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
