// What the GUI tests share: waiting on a condition while the Qt event loop
// runs, a private settings folder, and a browser stand-in.
#pragma once

#include <QDesktopServices>
#include <QEventLoop>
#include <QObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <vector>

namespace kv::guitest {

// Runs the event loop (timers, painting, capture) until the condition holds
// or the deadline passes; true when it holds.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The application's user defaults go to a temporary folder for one test.
class PrivateSettings {
public:
    PrivateSettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
    }
    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
};

// Takes the addresses the application opens instead of a real browser.
class BrowserStandIn : public QObject {
    Q_OBJECT
public:
    BrowserStandIn() {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
    }
    ~BrowserStandIn() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
    std::vector<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

} // namespace kv::guitest
