// The live applet connections, and the event records the host sends them.
#pragma once

#include "AppletConnection.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kesh::host {

// Record sizes on the socket: a keep-alive (type 0) and an event (type 1).
inline constexpr std::size_t kKeepAliveRecordBytes = 16;
inline constexpr std::size_t kEventRecordBytes = 272;
inline constexpr std::size_t kEventArgBytes = 256;

// Event numbers the host uses in type-1 records.
inline constexpr std::int32_t kEventTap = 1; // the shown page was tapped or clicked

std::vector<std::uint8_t> keepAliveRecord();
// `arg` fills the start of the 256-byte argument area; longer arguments are cut.
std::vector<std::uint8_t> eventRecord(std::int32_t eventType, std::int32_t eventValue,
                                      std::span<const std::uint8_t> arg);

class EventSender {
public:
    EventSender() = default;
    ~EventSender();
    EventSender(const EventSender&) = delete;
    EventSender& operator=(const EventSender&) = delete;

    // Each applet has a thread: a flood of connections must not exhaust the host.
    static constexpr std::size_t kMaxConnections = 128;

    // Starts the connection and keeps it. When the host is full, the oldest
    // connection that has not registered yet is closed to make room (so
    // silent sockets cannot lock applets out); when every one has
    // registered, the new one is refused.
    void add(std::unique_ptr<AppletConnection> connection);

    // Sends to every registered connection of the applet (every applet when
    // the key is "*"); returns how many took the record whole.
    int send(const std::string& appletKey, std::span<const std::uint8_t> record);

    // Starts the thread that sends keep-alives every `intervalSeconds` (none
    // when 0) and joins finished connections.
    void start(int intervalSeconds);
    // Ends every connection and the thread.
    void stop();

private:
    void run(int intervalSeconds);
    void reapFinished();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<AppletConnection>> connections_;
    std::thread thread_;
};

} // namespace kesh::host
