// kesh-host: the companion host. Applets connect over the SDK socket; a
// browser shows their page.
#include "AppletConnection.h"
#include "AppletStore.h"
#include "DisplayServer.h"
#include "EventSender.h"
#include "HostOptions.h"
#include "HostState.h"
#include "Log.h"
#include "NetworkAddresses.h"
#include "QrCode.h"
#include "ServiceAnnouncer.h"
#include "SocketListener.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#include <malloc.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

using namespace kesh::host;

namespace {

// What a person reads at the start: where to open the display and, when a
// phone can open it, a code of the best address for the phone's camera.
void printAddresses(const DisplayAddresses& addresses, bool servesNetwork) {
    std::string text = "Companion display at " + addresses.url + "\n";
    if (!servesNetwork) {
        text += "For a phone or tablet on this network, start kesh-host with --lan\n";
    } else if (!addresses.onNetwork) {
        text += "This computer has no network address yet: only it can open the display\n";
    } else {
        for (const auto& url : addresses.addresses) {
            if (url != addresses.url) {
                text += (url == addresses.localUrl ? "  on this computer at " : "  also at ") + url + "\n";
            }
        }
        if (const auto code = encodeQr(addresses.url)) {
            text += "Scan this code with a phone or tablet on the same network:\n" +
                    qrForTerminal(*code, ::isatty(STDOUT_FILENO) == 1);
        }
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::string problem;
    const auto options = parseHostOptions(std::vector<std::string>(argv + 1, argv + argc), problem);
    if (!options) {
        std::cerr << "kesh-host: " << problem << "\n" << kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << kUsage;
        return 0;
    }

    // Everything the host creates is for this user only.
    ::umask(077);
    // Large buffers (pages, files) go back to the system once freed.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Signals are taken by sigwait below; every thread started later inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // A write past the file size limit fails (and is logged) instead of killing the host.
    std::signal(SIGXFSZ, SIG_IGN);

    AppletStore store(options->dataFolder);
    HostState state(options->stateFolder);
    EventSender sender;
    DisplayServer display(store, sender);
    if (!store.prepare(problem) || !display.bind(options->httpHost, options->httpPort, problem)) {
        logLine(problem);
        return 1;
    }
    SocketListener listener;
    std::string listeningOn = options->socketPath.string();
    // Started by the service manager on the first connection: the socket is handed over.
    if (sd_listen_fds(1) == 1 && sd_is_socket_unix(SD_LISTEN_FDS_START, SOCK_STREAM, 1, nullptr, 0) > 0) {
        listener.adopt(SD_LISTEN_FDS_START);
        listeningOn = "the socket handed over by the service manager";
    } else if (!listener.open(options->socketPath, problem)) {
        logLine(problem);
        return 1;
    }
    // The token is made (or replaced) only once this host has its socket and its port.
    if (!state.open(options->newToken, problem)) {
        logLine(problem);
        return 1;
    }
    std::uint64_t connections = 0;
    const bool verbose = options->verbose;
    listener.start([&](int fd) {
        auto connection = std::make_unique<AppletConnection>(fd, ++connections, store, verbose);
        if (verbose) {
            logLine("applet #" + std::to_string(connection->number()) + ": connected");
        }
        sender.add(std::move(connection));
    });
    sender.start(options->keepAliveSeconds);
    const auto addresses = displayAddresses(options->httpHost, display.port(), state.token());
    const bool servesNetwork = !isLoopbackHost(options->httpHost);
    ServiceAnnouncer announcer;
    if (servesNetwork) {
        announcer.start(display.port(), options->httpHost.find(':') != std::string::npos);
    }
    display.start(state.token(), addresses, [&announcer] { return announcer.hostName(); });

    logLine("listening on " + listeningOn + ", storing files under " + options->dataFolder.string());
    // Printed first: whoever sees display.json finds the addresses printed as well.
    printAddresses(addresses, servesNetwork);
    if (!state.publish(addresses, problem)) {
        logLine(problem);
    }

    int received = 0;
    sigwait(&signals, &received);
    logLine(std::string("shutting down on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
    listener.stop();
    announcer.stop();
    display.stop();
    sender.stop();
    state.withdraw();
    return 0;
}
