#include "desktop/ApplicationMain.h"

#include "desktop/CommandLine.h"
#include "desktop/DesktopApplication.h"
#include "desktop/QuitOnSignal.h"
#include "desktop/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace kv {

namespace {

// Whether a display is named at all; a platform chosen explicitly that needs
// none (offscreen, vnc...) is the user's call.
bool displayNamed() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList heldMessages;

// While the QApplication is made: Qt aborts when it cannot open the display,
// after several lines of its own; one clear line and exit code 1 instead.
void holdStartMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "KeshVistrel: cannot open the display (DISPLAY=%s, WAYLAND_DISPLAY=%s); start it from a "
                     "desktop session\n",
                     qEnvironmentVariable("DISPLAY").toLocal8Bit().constData(),
                     qEnvironmentVariable("WAYLAND_DISPLAY").toLocal8Bit().constData());
        std::_Exit(1);
    }
    heldMessages.append(message);
}

std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
    const QtMessageHandler previous = qInstallMessageHandler(holdStartMessages);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : std::exchange(heldMessages, {}))
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    QApplication::setOrganizationName(QStringLiteral("Pellmoor"));
    QApplication::setApplicationName(QStringLiteral("KeshVistrel"));
    QApplication::setApplicationVersion(QStringLiteral(KV_APP_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kesh-vistrel"));
    return application;
}

} // namespace

int runKeshVistrel(int argc, char** argv, const std::function<void(DesktopApplication&)>& afterLaunch) {
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
    case CommandLine::Action::help:
        std::fputs(commandLineUsage(), stdout);
        return 0;
    case CommandLine::Action::version:
        std::printf("KeshVistrel %s\n", KV_APP_VERSION);
        return 0;
    case CommandLine::Action::refuse:
        std::fprintf(stderr, "KeshVistrel: %s (see KeshVistrel --help)\n", line.problem.c_str());
        return 2;
    case CommandLine::Action::run:
        break;
    }
    if (!displayNamed()) {
        std::fputs("KeshVistrel: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it "
                   "from a desktop session\n",
                   stderr);
        return 1;
    }

    const auto application = makeApplication(argc, argv);
    SingleInstance instance;
    if (!instance.claim()) {
        std::fputs("KeshVistrel is already running; its window was brought forward.\n", stderr);
        return 0;
    }
    DesktopApplication desktop(QtAppInfo::defaultResourceFolder(), line.hostStart);
    QApplication::setWindowIcon(
        QIcon(QDir(QString::fromStdString(QtAppInfo::defaultResourceFolder())).filePath("kesh-vistrel.png")));
    instance.onActivation([&desktop] { desktop.mainWindow().bringForward(); });
    quitOnTerminationSignals([&desktop] { desktop.quit(); });
    desktop.launch();
    if (afterLaunch)
        afterLaunch(desktop);
    QApplication::exec();
    return 0;
}

} // namespace kv
