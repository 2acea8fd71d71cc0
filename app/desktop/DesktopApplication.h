// The whole application on the Qt desktop: the platform services, the
// controller and its windows, from launch to shut-down.
#pragma once

#include "desktop/CompanionHost.h"
#include "desktop/HostConnectionWatch.h"
#include "desktop/MainWindow.h"
#include "platform/qt/GameWindowCapture.h"
#include "platform/qt/QtAppInfo.h"
#include "platform/qt/QtDesktopServices.h"
#include "platform/qt/QtRunLoop.h"
#include "platform/qt/QtUserDefaults.h"
#include "shell/AppDelegate.h"

#include <memory>

namespace kv {

class DesktopApplication {
public:
    // Needs a QApplication; the names of the settings store come from it.
    // `hostStart` says whether a missing companion host may be started.
    explicit DesktopApplication(const std::string& resourceFolder = QtAppInfo::defaultResourceFolder(),
                                HostStart hostStart = HostStart::never);
    ~DesktopApplication();
    DesktopApplication(const DesktopApplication&) = delete;
    DesktopApplication& operator=(const DesktopApplication&) = delete;

    // The launch sequence; the window shows and the reader starts.
    void launch();
    // The shut-down sequence, once, however often it is asked for.
    void shutDown();
    // Quits as a signal asks: a calibration in progress ends first.
    void quit();

    AppDelegate& delegate() { return delegate_; }
    MainWindow& mainWindow() { return *window_; }
    QtUserDefaults& defaults() { return defaults_; }
    GameWindowCapture& screen() { return screen_; }

private:
    QtUserDefaults defaults_;
    GameWindowCapture screen_;
    QtDesktopServices desktop_;
    QtRunLoop runLoop_;
    QtAppInfo info_;
    AppDelegate delegate_;
    std::unique_ptr<MainWindow> window_;
    CompanionHost host_;
    HostConnectionWatch hostWatch_;
    bool launched_ = false;
    bool shutDown_ = false;
};

} // namespace kv
