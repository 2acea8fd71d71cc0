#include "desktop/HostConnectionWatch.h"

#include "desktop/CompanionHost.h"
#include "desktop/MainWindow.h"
#include "shell/AppDelegate.h"
#include "ui_MainWindow.h"

namespace kv {

namespace {

constexpr int checkIntervalMs = 2000;

} // namespace

HostConnectionWatch::HostConnectionWatch(AppDelegate& delegate, MainWindow& window, CompanionHost& host)
    : delegate_(delegate), window_(window), host_(host) {
    timer_.setInterval(checkIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { check(); });
    // The window's own handler closes the connection first.
    connect(window_.ui().shutdownKeshMenuItem, &QAction::triggered, this,
            [this] { showStatus(CompanionHost::displayAddress()); });
}

void HostConnectionWatch::begin() {
    std::string address;
    if (delegate_.keshInitialized) {
        address = CompanionHost::displayAddress();
        logDisplayAddress(address);
    } else {
        std::string started;
        switch (host_.start()) {
        case CompanionHost::Started::userService:
            started = "Started the companion host kesh-host (user service kesh-host.socket)";
            break;
        case CompanionHost::Started::child:
            started = "Started the companion host kesh-host";
            break;
        case CompanionHost::Started::no:
            started = "Waiting for the companion host kesh-host: start it with \"systemctl --user start "
                      "kesh-host.socket\" or by running kesh-host";
            break;
        }
        address = CompanionHost::displayAddress();
        delegate_.appendToLog(started + "; Kesh Vistrel connects as soon as it answers. " +
                              (address.empty() ? "Then open the address it prints on your phone or tablet.\n"
                                               : "Its display: " + address + "\n"));
    }
    showStatus(address);
    timer_.start();
}

void HostConnectionWatch::check() {
    const bool reconnected = !delegate_.keshInitialized && !delegate_.keshClosedFromMenu &&
                             CompanionHost::listening() && delegate_.retryKeshInit();
    const std::string address = CompanionHost::displayAddress();
    if (reconnected)
        logDisplayAddress(address);
    showStatus(address);
}

// Connected means Init succeeded, the menu has not closed the connection,
// and the host's socket is still there (a host that stops removes it; the
// SDK then reconnects when one comes back).
void HostConnectionWatch::showStatus(const std::string& address) {
    if (delegate_.keshClosedFromMenu) {
        window_.showHostStatus(QStringLiteral("Companion host: connection closed from the menu; restart Kesh "
                                              "Vistrel to reconnect"));
        timer_.stop();
    } else if (delegate_.keshInitialized && CompanionHost::socketPresent()) {
        window_.showHostStatus(QStringLiteral("Companion host: connected to kesh-host"));
    } else {
        window_.showHostStatus(QStringLiteral("Companion host: not connected, waiting for kesh-host"));
    }
    window_.showDisplayAddress(address);
}

void HostConnectionWatch::logDisplayAddress(const std::string& address) {
    if (!address.empty())
        delegate_.appendToLog("Companion display: " + address + "\n");
}

} // namespace kv
