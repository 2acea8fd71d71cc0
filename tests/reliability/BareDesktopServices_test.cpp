// The desktop services on a machine with no speech program, no sound server
// and no system bus: every call returns at once and the application stays
// silent instead of failing.
#include "ReliabilitySupport.h"
#include "platform/qt/QtDesktopServices.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace kv::reliability {
namespace {

TEST(DesktopServicesOnABareMachine, SpeechSoundsAndKeepAwakeFailQuietly) {
    TemporaryFolder empty;
    // No program on the search path, no sound server, no system bus.
    setenv("PATH", empty.path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", empty.path().c_str(), 1);
    unsetenv("PULSE_SERVER");
    const std::string noBus = "unix:path=" + (empty.path() / "no-bus").string();
    setenv("DBUS_SYSTEM_BUS_ADDRESS", noBus.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "reliability";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    QtDesktopServices desktop;
    if (QtDesktopServices::findSpeechProgram() == "/usr/bin/say")
        GTEST_SKIP() << "this machine has a speech program outside the search path";
    EXPECT_EQ(QtDesktopServices::findSpeechProgram(), "");
    desktop.speak("Calibration complete");
    desktop.playSound("Tink");
    desktop.playSound("Blow");
    const auto activity = desktop.beginActivity(0, "reading the screen");
    EXPECT_FALSE(activity.has_value());
    if (activity)
        desktop.endActivity(*activity);
}

} // namespace
} // namespace kv::reliability
