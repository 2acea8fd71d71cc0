// Runs the GUI tests on a private X server, so that they never paint on the
// user's screen and never depend on a display being there.
#include "XvfbDisplay.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool onlyListing(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (onlyListing(argc, argv))
        return RUN_ALL_TESTS();

    kv::painter::test_support::XvfbDisplay server;
    if (const std::string why = server.start("1280x800x24"); !why.empty()) {
        std::fprintf(stderr, "could not start Xvfb for the GUI tests: %s\n", why.c_str());
        return 1;
    }
    ::setenv("DISPLAY", server.name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result = 1;
    {
        QApplication application(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Pellmoor"));
        QApplication::setApplicationName(QStringLiteral("KeshVistrel"));
        QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
        result = RUN_ALL_TESTS();
    }
    return result;
}
