// Follows the companion display's connection after the launch: while no host
// answers it looks every 2 s and retries Init as soon as one listens; it keeps
// the window's status line, the logo's tooltip and the display's address
// true to the connection.
#pragma once

#include <QObject>
#include <QTimer>

namespace kv {

class AppDelegate;
class CompanionHost;
class MainWindow;

class HostConnectionWatch : public QObject {
public:
    HostConnectionWatch(AppDelegate& delegate, MainWindow& window, CompanionHost& host);

    // After the launch sequence: when Init failed there, starts a host if
    // allowed, says in the log what happens next, and starts watching.
    void begin();

private:
    void check();
    void showStatus(const std::string& address);
    void logDisplayAddress(const std::string& address);

    AppDelegate& delegate_;
    MainWindow& window_;
    CompanionHost& host_;
    QTimer timer_;
};

} // namespace kv
