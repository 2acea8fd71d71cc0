// Debug mode's live view shows what the reader samples on the real display.
#include "GuiTestSupport.h"
#include "PaintedStrip.h"
#include "platform/DebugCellView.h"
#include "platform/DesktopApplication.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace kv::guitest {
namespace {

using namespace std::chrono_literals;

TEST(DebugView, ShowsThePaintedFrameWhileDebugModeIsOnAndHidesWhenOff) {
    PrivateSettings settings;
    PaintedStrip strip(0, 8);
    {
        QSettings stored(QStringLiteral("Pellmoor"), QStringLiteral("KeshVistrel"));
        stored.setValue(QStringLiteral("scanWidth"), 96.0f);
        stored.setValue(QStringLiteral("scanHorizOffset"), 4);
        stored.setValue(QStringLiteral("scanVertOffset"), 1);
    }
    DesktopApplication app;
    app.launch();
    Ui::MainWindow& ui = app.mainWindow().ui();
    EXPECT_FALSE(ui.debugCellsHost->isVisibleTo(&app.mainWindow()));

    ui.debugMenuItem->trigger();
    EXPECT_TRUE(ui.debugMenuItem->isChecked());
    EXPECT_TRUE(ui.debugCellsHost->isVisibleTo(&app.mainWindow()));
    EXPECT_TRUE(ui.logView->toPlainText().contains(
        QStringLiteral("Debug mode active.\nThe scanRect is (4.0, 1.0, 96.0, 1.0)\n")));

    strip.showFrame('A', 1);
    EXPECT_TRUE(waitUntil(
        [&] {
            return app.mainWindow().debugCells().description() == QStringLiteral("phase 1, value 65 'A'");
        },
        10s))
        << app.mainWindow().debugCells().description().toStdString();

    ui.debugMenuItem->trigger();
    EXPECT_FALSE(ui.debugMenuItem->isChecked());
    EXPECT_FALSE(ui.debugCellsHost->isVisibleTo(&app.mainWindow()));
    EXPECT_TRUE(ui.logView->toPlainText().endsWith(QStringLiteral("Debug mode off.\n")));
}

TEST(DebugView, LogKeepsTheUsersSelectionWhenAMessageArrives) {
    PrivateSettings settings;
    DesktopApplication app;
    app.launch();
    QTextEdit* log = app.mainWindow().ui().logView;
    const QString before = log->toPlainText();
    QTextCursor selection(log->document());
    selection.setPosition(0);
    selection.setPosition(10, QTextCursor::KeepAnchor);
    log->setTextCursor(selection);

    app.delegate().appendToLog("One more line.\n");

    EXPECT_EQ(log->toPlainText(), before + QStringLiteral("One more line.\n"));
    EXPECT_EQ(log->textCursor().selectedText(), before.left(10));
}

} // namespace
} // namespace kv::guitest
