// The strip read from the game's own window (the painter, titled like it, away from the corner),
// on Xvfb and on rootless XWayland, where reading the screen gives nothing.
#include "GuiTestSupport.h"
#include "PainterProcess.h"
#include "desktop/DebugCellView.h"
#include "desktop/DesktopApplication.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace kv::guitest {
namespace {

using namespace std::chrono_literals;

class GameWindow : public ::testing::Test {
protected:
    PrivateSettings settings;
    halvtest::TestHost host;
    // Cells of 80/12 pixels: what an application that was never calibrated reads.
    testsupport::PainterProcess painter{KV_STRIP_PAINTER, std::getenv("DISPLAY")};
    std::unique_ptr<DesktopApplication> app;

    void SetUp() override {
        ASSERT_TRUE(painter.start({"--stdin", "--window", "World of Warcraft", "--at", "400,300", "--cell",
                                   "6.6667", "--hold", "0.1"}));
        app = std::make_unique<DesktopApplication>();
        app->launch();
        // Without compositing (Xvfb) a window over the game's hides its strip, as on a plain X11 desktop.
        app->mainWindow().move(820, 0);
        ASSERT_TRUE(waitUntil(
            [&] { return logHas("Reading the strip from the game window \"World of Warcraft\".\n"); }, 10s))
            << log();
    }
    std::string log() { return app->mainWindow().ui().logView->toPlainText().toStdString(); }
    bool logHas(const std::string& text) { return log().find(text) != std::string::npos; }

    // Sends both messages and checks that their pages reach the host, in order, after `from`.
    void sendBothMessages(const std::function<void()>& duringTheFirst = {}) {
        const auto from = static_cast<std::ptrdiff_t>(host.messages().size());
        painter.send("message Thrall-Aerie Peak");
        painter.send("message N10184");
        if (duringTheFirst)
            QTimer::singleShot(800, duringTheFirst);
        const auto npcShownAfter = [&](const HostLog& pages) {
            return pages.find(indexMessage, "wowhead.html", from);
        };
        ASSERT_TRUE(waitUntil([&] { return npcShownAfter(HostLog{host.messages()}) >= 0; }, 20s)) << log();
        const HostLog pages{host.messages()};
        const auto character = pages.find(contentMessage, "vistrel.html", from, "aerie-peak/Thrall");
        const auto npc = pages.find(contentMessage, "wowhead.html", from, "10184");
        EXPECT_GE(character, 0) << log();
        EXPECT_GT(pages.find(indexMessage, "vistrel.html", character), character);
        EXPECT_GT(npc, character);
        EXPECT_GT(npcShownAfter(pages), npc);
    }
};

TEST_F(GameWindow, ReadsBothKindsOfMessageWithoutCalibrationWhereverTheWindowIsAndWhileTheMainThreadIsBusy) {
    app->mainWindow().ui().debugMenuItem->trigger();
    bool debugViewShowedAFrame = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        debugViewShowedAFrame |=
            app->mainWindow().debugCells().description().startsWith(QStringLiteral("phase"));
    });
    watcher.start(20);
    sendBothMessages();
    EXPECT_TRUE(debugViewShowedAFrame);

    painter.send("move 150 80");
    ASSERT_TRUE(painter.waitFor("moved: 150 80"));
    // Page pushes and the browser can hold the main thread up; the strip's frames do not wait.
    sendBothMessages([] { std::this_thread::sleep_for(500ms); });
    EXPECT_FALSE(logHas("Discarded")) << log();
    EXPECT_FALSE(logHas("No game window found")) << log();
    if (const char* picture = std::getenv("KV_MAIN_WINDOW_SCREENSHOT")) { // for the documentation
        EXPECT_TRUE(app->mainWindow().grab().save(QString::fromLocal8Bit(picture), "PNG"));
    }
}

TEST_F(GameWindow, CalibrationFindsTheAddOnsPatternAtEveryScale) {
    Ui::MainWindow& ui = app->mainWindow().ui();
    const std::pair<int, std::string> scales[] = {
        {4, "(H-offset 1, V-offset 0, width 48.5)\nThe strip is drawn at scale 1.0 (first cell 4"},
        {6, "(H-offset 2, V-offset 0, width 72.5)\nThe strip is drawn at scale 1.5 (first cell 6"},
        {8, "(H-offset 3, V-offset 0, width 96.5)\nThe strip is drawn at scale 2.0 (first cell 8"}};
    for (long shown = 1; const auto& [cell, found] : scales) {
        painter.send("calibrate 0 " + std::to_string(cell) + " " + std::to_string(12 * cell));
        ASSERT_TRUE(waitUntil([&] { return painter.count("calibrating") == shown; }, 10s));
        ++shown;
        // While the search blocks the click, the window paints its countdown and refuses to close.
        int progressSeen = -1;
        bool closeRefused = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!ui.calibrationProgress->isVisible())
                return;
            if (progressSeen < 0)
                closeRefused = !app->mainWindow().close();
            progressSeen = ui.calibrationProgress->value();
        });
        watcher.start(20);
        ui.calibrateButton->click();
        ui.calibrateButton->click();
        watcher.stop();
        EXPECT_TRUE(logHas("Calibration successful!  " + found + " pixels wide).\n")) << log();
        EXPECT_TRUE(closeRefused && progressSeen > 0 && progressSeen <= 90);
        EXPECT_FALSE(ui.calibrationProgress->isVisible());
    }
    EXPECT_EQ(*app->delegate().myScanRect, (Rect{3.0, 0.0, 96.5, 1.0}));
    EXPECT_FLOAT_EQ(app->defaults().floatForKey("scanWidth"), 96.5f);
}

} // namespace
} // namespace kv::guitest
