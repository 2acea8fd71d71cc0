// The platform units that need Qt's text and settings but no screen run on
// the offscreen platform.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Pellmoor"));
    QGuiApplication::setApplicationName(QStringLiteral("KeshVistrel"));
    return RUN_ALL_TESTS();
}
