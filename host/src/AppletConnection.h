// One applet's connection: a thread that reads its messages into the store,
// and the writing of event records back to it.
#pragma once

#include "AppletStore.h"
#include "MessageReader.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace kesh::host {

class AppletConnection {
public:
    // A connection that has not registered by then is closed.
    static constexpr auto kRegistrationDeadline = std::chrono::seconds(5);

    // Takes ownership of the connected socket `fd`.
    AppletConnection(int fd, std::uint64_t number, AppletStore& store, bool verbose);
    ~AppletConnection();
    AppletConnection(const AppletConnection&) = delete;
    AppletConnection& operator=(const AppletConnection&) = delete;

    void start();
    // Ends the connection; the reading thread finishes soon after.
    void stop();
    void join();
    bool finished() const { return finished_; }

    std::uint64_t number() const { return number_; }
    // Empty until the applet has registered.
    std::string appletKey() const;

    // Writes one whole record, or nothing when the applet is not reading and
    // its socket buffer is full (the record is dropped). A record that was
    // begun but cannot be finished within a deadline ends the connection,
    // since the applet's reader would be out of step.
    bool sendRecord(std::span<const std::uint8_t> record);

private:
    void readLoop();
    void readMessages();
    void handle(HostMessage& message);
    void log(const std::string& text) const;

    int fd_;
    std::uint64_t number_;
    AppletStore& store_;
    bool verbose_;
    MessageReader reader_;
    mutable std::mutex keyMutex_;
    std::string key_;
    std::mutex writeMutex_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kesh::host
