#include "platform/DesktopApplication.h"

#include "platform/GameWindowChoice.h"
#include "shell/Configuration.h"

#include <QCoreApplication>

namespace kv {

namespace {

std::vector<std::string> gameWindowNames() {
    return {config::gameWindowNames.begin(), config::gameWindowNames.end()};
}

} // namespace

DesktopApplication::DesktopApplication(const std::string& resourceFolder)
    : screen_(gameWindowNames()), info_(resourceFolder),
      delegate_(Platform{screen_, defaults_, desktop_, runLoop_, info_}),
      window_(std::make_unique<MainWindow>(delegate_, defaults_.settings(),
                                           QString::fromStdString(resourceFolder))) {
    // The strip is captured off the main thread; its lines reach the log on the main thread.
    screen_.setLogSink([window = window_.get(), this](const std::string& line) {
        QMetaObject::invokeMethod(
            window, [this, line] { delegate_.appendToLog(line); }, Qt::QueuedConnection);
    });
    screen_.followScreens();
    screen_.setChosenWindow(storedGameWindow(defaults_.settings()));
    addGameWindowChoice(*window_, screen_, defaults_.settings(),
                        [this](const std::string& line) { delegate_.appendToLog(line); });
    // Closing the main window quits the application, whatever other window is open.
    window_->setCloseHandler([] { QCoreApplication::quit(); });
    // Quitting by any road (menu, last window, signal, session end) runs the shut-down.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window_.get(),
                     [this] { shutDown(); });
}

DesktopApplication::~DesktopApplication() {
    shutDown();
    // The reader's thread uses the controller and the capture: it ends before they do.
    runLoop_.stopSampling();
}

void DesktopApplication::launch() {
    if (launched_)
        return;
    launched_ = true;
    delegate_.applicationDidFinishLaunching();
    screen_.warnIfSessionRefusesCapture();
}

void DesktopApplication::shutDown() {
    if (!launched_ || shutDown_)
        return;
    shutDown_ = true;
    delegate_.applicationWillTerminate();
}

} // namespace kv
