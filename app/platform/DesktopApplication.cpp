#include "platform/DesktopApplication.h"

#include <QCoreApplication>

namespace kv {

DesktopApplication::DesktopApplication(const std::string& resourceFolder)
    : info_(resourceFolder), delegate_(Platform{screen_, defaults_, desktop_, runLoop_, info_}),
      window_(std::make_unique<MainWindow>(delegate_, defaults_.settings(),
                                           QString::fromStdString(resourceFolder))) {
    screen_.setNoticeSink([this](const std::string& notice) { delegate_.appendToLog(notice); });
    // Closing the main window quits the application, whatever other window is open.
    window_->setCloseHandler([] { QCoreApplication::quit(); });
    // Quitting by any road (menu, last window, signal, session end) runs the shut-down.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window_.get(),
                     [this] { shutDown(); });
}

DesktopApplication::~DesktopApplication() {
    shutDown();
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
