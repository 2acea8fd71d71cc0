// Calibration against the pattern painted on a real X display, through the
// Calibrate button, and the reader using what it found.
#include "GuiTestSupport.h"
#include "PaintedStrip.h"
#include "platform/DesktopApplication.h"
#include "ui_MainWindow.h"

#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kv::guitest {
namespace {

using namespace std::chrono_literals;

TEST(CalibrationOnScreen, FindsThePaintedGeometryStoresItAndTheNextMessageDecodesWithIt) {
    PrivateSettings settings;
    BrowserStandIn browser;
    // Topmost line 2, first cell 9 pixels wide. The screen right of the strip
    // is black like its last cell, so the pattern matches for widths 104 ... 113.
    PaintedStrip strip(2, 9);
    strip.showCalibrationPattern();
    ASSERT_TRUE(waitUntil([&] { return strip.isVisible(); }, 5s));

    DesktopApplication app;
    app.launch();
    Ui::MainWindow& ui = app.mainWindow().ui();

    // While the search blocks the click, the window still paints and counts down.
    // A close request meanwhile is refused: the search must end first.
    int progressSeen = -1;
    bool closeRefused = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!ui.calibrationProgress->isVisible())
            return;
        if (progressSeen < 0)
            closeRefused = !app.mainWindow().close();
        progressSeen = ui.calibrationProgress->value();
    });
    watcher.start(20);

    ui.calibrateButton->click(); // asks for confirmation
    EXPECT_FALSE(app.delegate().confirmCalibrate);
    ui.calibrateButton->click(); // searches, up to 90 s
    watcher.stop();

    EXPECT_GT(progressSeen, 0);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(app.mainWindow().isVisible());
    EXPECT_LE(progressSeen, 90);
    EXPECT_FALSE(ui.calibrationProgress->isVisible());
    EXPECT_TRUE(ui.calibrateButton->isEnabled());

    EXPECT_EQ(app.delegate().scanVertOffset, 2);
    EXPECT_EQ(app.delegate().scanHorizOffset, 4);
    EXPECT_DOUBLE_EQ(app.delegate().scanWidth, 108.5);
    ASSERT_TRUE(app.delegate().myScanRect.has_value());
    EXPECT_EQ(*app.delegate().myScanRect, (Rect{4.0, 2.0, 108.5, 1.0}));
    QtUserDefaults& defaults = app.defaults();
    EXPECT_FLOAT_EQ(defaults.floatForKey("scanWidth"), 108.5f);
    EXPECT_EQ(defaults.integerForKey("scanHorizOffset"), 4);
    EXPECT_EQ(defaults.integerForKey("scanVertOffset"), 2);

    // The hand-off takes the slot within a second; watch it often enough to see it.
    std::string decoded;
    strip.sendMessage("Rexxar-Draka", 150);
    ASSERT_TRUE(waitUntil(
        [&] {
            if (!app.delegate().currentMessage.empty())
                decoded = app.delegate().currentMessage;
            return !decoded.empty();
        },
        30s));
    EXPECT_EQ(decoded, "Rexxar-Draka");
}

} // namespace
} // namespace kv::guitest
