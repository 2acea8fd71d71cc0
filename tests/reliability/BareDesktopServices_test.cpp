// With no speech program, sound server or system bus, every desktop call returns at once, silently.
#include "TemporaryFolder.h"
#include "platform/qt/QtDesktopServices.h"

#include <QApplication>

#include <gtest/gtest.h>

using kv::QtDesktopServices;

TEST(DesktopServicesOnABareMachine, SpeechSoundsAndKeepAwakeFailQuietly) {
    kv::testsupport::TemporaryFolder empty;
    setenv("PATH", empty.path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", empty.path().c_str(), 1);
    unsetenv("PULSE_SERVER");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (empty.path() / "no-bus").string()).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "reliability";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    if (QtDesktopServices::findSpeechProgram() == "/usr/bin/say")
        GTEST_SKIP() << "this machine has a speech program outside the search path";
    EXPECT_EQ(QtDesktopServices::findSpeechProgram(), "");
    QtDesktopServices desktop;
    desktop.speak("Calibration complete");
    desktop.playSound("Tink");
    const auto activity = desktop.beginActivity(0, "reading the screen");
    EXPECT_FALSE(activity.has_value());
    if (activity)
        desktop.endActivity(*activity);
}
