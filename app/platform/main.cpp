// KeshVistrel: reads the add-on's strip from the screen and puts the matching
// page on the companion display. Takes no arguments.
#include "platform/DesktopApplication.h"
#include "platform/QuitOnSignal.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pellmoor"));
    QApplication::setApplicationName(QStringLiteral("KeshVistrel"));
    QApplication::setApplicationVersion(QStringLiteral(KV_APP_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kesh-vistrel"));

    kv::DesktopApplication desktop;
    QApplication::setWindowIcon(QIcon(
        QDir(QString::fromStdString(kv::QtAppInfo::defaultResourceFolder())).filePath("kesh-vistrel.png")));
    kv::quitOnTerminationSignals();
    desktop.launch();
    QApplication::exec();
    return 0;
}
