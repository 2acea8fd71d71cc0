// The user's choices in the window survive quitting (by closing the main
// window, which runs the shut-down) and starting again.
#include "GuiTestSupport.h"
#include "desktop/DesktopApplication.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>

#include <gtest/gtest.h>

namespace kv::guitest {
namespace {

using namespace std::chrono_literals;

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
