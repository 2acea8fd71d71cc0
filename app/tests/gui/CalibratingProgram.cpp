// KeshVistrel that starts a calibration as soon as it has launched, for the
// test of a quit in the middle of one: "calibrating" on standard output
// tells that the search is about to begin.
#include "desktop/ApplicationMain.h"
#include "desktop/DesktopApplication.h"
#include "ui_MainWindow.h"

#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    return kv::runKeshVistrel(argc, argv, [](kv::DesktopApplication& desktop) {
        QTimer::singleShot(0, [&desktop] {
            QPushButton* calibrate = desktop.mainWindow().ui().calibrateButton;
            calibrate->click(); // asks for confirmation
            std::puts("calibrating");
            std::fflush(stdout);
            calibrate->click(); // searches until the deadline or a quit
        });
    });
}
