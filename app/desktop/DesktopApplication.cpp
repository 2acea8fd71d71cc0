#include "desktop/DesktopApplication.h"

#include "desktop/GameWindowChoice.h"
#include "shell/Configuration.h"

#include <QCoreApplication>

namespace kv {

namespace {

std::vector<std::string> gameWindowNames() {
    return {config::gameWindowNames.begin(), config::gameWindowNames.end()};
}

} // namespace

DesktopApplication::DesktopApplication(const std::string& resourceFolder, HostStart hostStart)
    : screen_(gameWindowNames()), info_(resourceFolder),
      delegate_(Platform{screen_, defaults_, desktop_, runLoop_, info_}),
      window_(std::make_unique<MainWindow>(delegate_, defaults_.settings(),
                                           QString::fromStdString(resourceFolder))),
      host_(hostStart), hostWatch_(delegate_, *window_, host_) {
    const auto toLog = [this](const std::string& notice) { delegate_.appendToLog(notice); };
    desktop_.setNoticeSink(toLog);
    host_.setNoticeSink(toLog);
    // The strip is captured off the main thread; its lines reach the log on the main thread.
    screen_.setLogSink([this](const std::string& line) {
        runLoop_.postToMain([this, line] { delegate_.appendToLog(line); });
    });
    screen_.followScreens();
    screen_.setChosenWindow(storedGameWindow(defaults_.settings()));
    addGameWindowChoice(*window_, screen_, defaults_.settings(), toLog);
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
    hostWatch_.begin();
}

// A signal may arrive while a calibration runs the loop in steps: its search
// ends at its next step, and the main window, which stays while it searches,
// closes then, which quits.
void DesktopApplication::quit() {
    runLoop_.requestQuit();
    window_->closeSoon();
}

void DesktopApplication::shutDown() {
    if (!launched_ || shutDown_)
        return;
    shutDown_ = true;
    delegate_.applicationWillTerminate();
    // After the SDK has sent what it queued.
    host_.stop();
}

} // namespace kv
