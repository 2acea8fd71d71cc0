// The window's own roads into the controller: the Help button, the log and
// closing the main window.
#include "GuiTestSupport.h"
#include "platform/DesktopApplication.h"
#include "ui_HelpWindow.h"
#include "ui_MainWindow.h"

#include <TestHost.h>

#include <QApplication>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace kv::guitest {
namespace {

using namespace std::chrono_literals;

TEST(WindowCommands, HelpBringsUpTheShippedTextCancelsAPendingCalibrationAndTheLogKeepsTheUsersSelection) {
    PrivateSettings settings;
    DesktopApplication app;
    app.launch();
    Ui::MainWindow& ui = app.mainWindow().ui();
    ui.calibrateButton->click();
    ASSERT_FALSE(app.delegate().confirmCalibrate);

    ui.helpButton->click();
    EXPECT_TRUE(app.delegate().confirmCalibrate);
    ASSERT_TRUE(waitUntil([&] { return app.mainWindow().helpWindow().isVisible(); }, 5s));
    const QString help = app.mainWindow().helpUi().helpTextView->toPlainText();
    EXPECT_TRUE(help.startsWith(QStringLiteral("Kesh Vistrel Help"))) << help.left(80).toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("/KeshVistrelCal")));
    EXPECT_FALSE(help.contains(QLatin1Char('\\'))) << "no control word of the rich text leaks into it";

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

TEST(WindowCommands, ClosingTheMainWindowQuitsAndRunsTheShutDown) {
    PrivateSettings settings;
    halvtest::TestHost host;
    DesktopApplication app;
    app.launch();
    ASSERT_TRUE(waitUntil([&] { return app.mainWindow().isVisible(); }, 5s));
    app.mainWindow().helpWindow().show(); // another open window must not keep the application alive

    QTimer::singleShot(0, &app.mainWindow(), [&] { app.mainWindow().close(); });
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); }); // a quit that never comes
    EXPECT_EQ(QApplication::exec(), 0);

    EXPECT_TRUE(app.defaults().hasKey("windowPosition"));
    EXPECT_TRUE(host.waitForDisconnects(1, 10s)) << "the SDK connection is closed";
}

} // namespace
} // namespace kv::guitest
