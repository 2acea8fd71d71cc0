// The window's own roads into the controller, and the user's choices surviving a restart.
#include "ChildProcess.h"
#include "GuiTestSupport.h"
#include "TemporaryFolder.h"
#include "desktop/DesktopApplication.h"
#include "ui_HelpWindow.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <csignal>

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

// The display's address for phones, as text, a QR code a camera reads, and on the clipboard.
TEST(WindowCommands, ShowsTheDisplaysAddressAndItsQrCodeOnceAHostServes) {
    PrivateSettings settings;
    kv::testsupport::TemporaryFolder home;
    const std::string folder = home.path().string();
    ::setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
    DesktopApplication app;
    app.launch();
    Ui::MainWindow& ui = app.mainWindow().ui();
    EXPECT_FALSE(ui.copyAddressButton->isEnabled());
    // No system bus: nothing is announced on the network from a test.
    kesh::test::ChildProcess host(
        {KESH_HOST_PROGRAM, "--http", "0.0.0.0:0", "--state", folder + "/state/kesh-host"},
        {{{"XDG_DATA_HOME", folder + "/data"}, {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + folder + "/none"}},
         folder + "/host.log",
         {},
         {}});
    QString url;
    ASSERT_TRUE(waitUntil(
        [&] {
            QFile display(QString::fromStdString(folder + "/state/kesh-host/display.json"));
            url = display.open(QIODevice::ReadOnly)
                      ? QJsonDocument::fromJson(display.readAll())["url"].toString()
                      : "";
            return !url.isEmpty() && ui.displayAddress->text().contains(url.toHtmlEscaped());
        },
        10s));
    ui.copyAddressButton->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), url);
    if (QHostAddress(QUrl(url).host()).isLoopback())
        GTEST_SKIP() << "this machine has no network address, so no code for a phone";
    ASSERT_TRUE(ui.displayCode->isVisible() &&
                ui.displayCode->grab().save(QString::fromStdString(folder + "/code.png")));
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"),
               {"--nodbus", "-q", "--raw", QString::fromStdString(folder + "/code.png")});
    ASSERT_TRUE(zbar.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), url);
    // A killed host leaves its display.json behind: an address that leads nowhere is not shown.
    host.stop(SIGKILL);
    EXPECT_TRUE(
        waitUntil([&] { return !ui.copyAddressButton->isEnabled() && ui.displayCode->isHidden(); }, 10s));
}

// What a user's pick in a pop-up does: select the item and report it as activated.
void choose(QComboBox* box, int tag) {
    const int index = box->findData(static_cast<qlonglong>(tag));
    ASSERT_GE(index, 0);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

TEST(SettingsSurviveRestart, LanguageLandingPageCheckBoxAndWindowFrameComeBackAfterClosingTheWindow) {
    PrivateSettings settings;
    halvtest::TestHost host;
    const QRect frame(140, 90, 720, 600);
    {
        DesktopApplication app;
        app.launch();
        Ui::MainWindow& ui = app.mainWindow().ui();
        ASSERT_TRUE(waitUntil([&] { return app.mainWindow().isVisible(); }, 5s));
        // A first start opens away from the strip's corner, with the documented defaults.
        EXPECT_FALSE(app.mainWindow().frameGeometry().intersects(QRect(0, 0, 250, 20)));
        EXPECT_EQ(app.delegate().landingPageInt, 0);
        EXPECT_FALSE(ui.showDesktopToo->isChecked());

        choose(ui.languageMenu, 7);
        choose(ui.landingPageMenu, 4);
        ui.showDesktopToo->click();
        app.mainWindow().setGeometry(frame);
        ASSERT_TRUE(waitUntil([&] { return app.mainWindow().geometry() == frame; }, 5s));
        // Exactly the chosen item carries the check mark.
        for (int i = 0; i < ui.languageMenu->count(); ++i)
            EXPECT_EQ(app.mainWindow().languagePopUp().itemState(i), i == 6) << "item " << i;
        // Another open window must not keep the application alive.
        app.mainWindow().helpWindow().show();
        QTimer::singleShot(0, &app.mainWindow(), [&] { app.mainWindow().close(); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); }); // a quit that never comes
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_TRUE(host.waitForDisconnects(1, 10s)) << "the SDK connection is closed";
    }

    DesktopApplication restarted;
    restarted.launch();
    Ui::MainWindow& ui = restarted.mainWindow().ui();
    EXPECT_EQ(restarted.delegate().userLanguage, 7);
    EXPECT_EQ(ui.languageMenu->currentData().toLongLong(), 7);
    EXPECT_EQ(restarted.delegate().landingPageInt, 4);
    EXPECT_EQ(ui.landingPageMenu->currentData().toLongLong(), 4);
    EXPECT_TRUE(ui.showDesktopToo->isChecked());
    ASSERT_TRUE(waitUntil([&] { return restarted.mainWindow().isVisible(); }, 5s));
    EXPECT_EQ(restarted.mainWindow().geometry(), frame);
}

} // namespace
} // namespace kv::guitest
