// Runs the GUI tests on a private display server, so that they never paint on
// the user's screen: Xvfb, or with --xwayland a headless Wayland compositor
// with rootless XWayland, where the application runs as an X client.
#include "DisplayServer.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Skips every test, saying why, when the display server cannot run here.
struct NoDisplay final : ::testing::Environment {
    std::string why;
    void SetUp() override { GTEST_SKIP() << "no headless Wayland compositor with XWayland: " << why; }
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    const bool xwayland = argc > 1 && std::strcmp(argv[1], "--xwayland") == 0;

    using kv::testsupport::DisplayServer;
    DisplayServer server;
    if (const std::string why =
            server.start(xwayland ? DisplayServer::Kind::XWayland : DisplayServer::Kind::Xvfb);
        !why.empty()) {
        if (!xwayland) {
            std::fprintf(stderr, "could not start Xvfb for the GUI tests: %s\n", why.c_str());
            return 1;
        }
        auto* skip = new NoDisplay;
        skip->why = why;
        ::testing::AddGlobalTestEnvironment(skip);
        return RUN_ALL_TESTS();
    }
    ::setenv("DISPLAY", server.name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pellmoor"));
    QApplication::setApplicationName(QStringLiteral("KeshVistrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    return RUN_ALL_TESTS();
}
