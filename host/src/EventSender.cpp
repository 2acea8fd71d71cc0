#include "EventSender.h"

#include "Log.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kesh::host {

namespace {

void putU32(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// How often finished connections are joined when keep-alives are off.
constexpr auto kReapInterval = std::chrono::seconds(1);

} // namespace

std::vector<std::uint8_t> keepAliveRecord() {
    return std::vector<std::uint8_t>(kKeepAliveRecordBytes, 0);
}

std::vector<std::uint8_t> eventRecord(std::int32_t eventType, std::int32_t eventValue,
                                      std::span<const std::uint8_t> arg) {
    std::vector<std::uint8_t> record(kEventRecordBytes, 0);
    putU32(record, 0, 1);
    putU32(record, 8, static_cast<std::uint32_t>(eventType));
    putU32(record, 12, static_cast<std::uint32_t>(eventValue));
    std::memcpy(record.data() + 16, arg.data(), std::min(arg.size(), kEventArgBytes));
    return record;
}

EventSender::~EventSender() {
    stop();
}

void EventSender::add(std::unique_ptr<AppletConnection> connection) {
    const std::lock_guard lock(mutex_);
    if (stopping_) {
        return; // the host is shutting down; the connection closes unread
    }
    reapFinished();
    if (connections_.size() >= kMaxConnections) {
        auto silent = std::find_if(connections_.begin(), connections_.end(),
                                   [](const auto& c) { return c->appletKey().empty(); });
        if (silent == connections_.end()) {
            logLine("refusing a connection: " + std::to_string(kMaxConnections) + " applets are connected");
            return;
        }
        logLine("applet #" + std::to_string((*silent)->number()) +
                ": closing the connection: it has not registered and the host is full");
        // Destroying it ends its thread at once: it holds no lock and has nothing stored.
        connections_.erase(silent);
    }
    // Listed before it reads anything, so it can take records as soon as it has registered.
    connection->start();
    connections_.push_back(std::move(connection));
}

int EventSender::send(const std::string& appletKey, std::span<const std::uint8_t> record) {
    const std::lock_guard lock(mutex_);
    int reached = 0;
    for (const auto& connection : connections_) {
        const std::string key = connection->appletKey();
        if (key.empty() || (appletKey != "*" && key != appletKey)) {
            continue;
        }
        if (connection->sendRecord(record)) {
            ++reached;
        }
    }
    return reached;
}

void EventSender::reapFinished() {
    std::vector<std::unique_ptr<AppletConnection>> done;
    for (auto& connection : connections_) {
        if (connection->finished()) {
            done.push_back(std::move(connection));
        }
    }
    std::erase(connections_, nullptr);
    // Destroying joins each thread, which has already ended.
    done.clear();
}

void EventSender::start(int intervalSeconds) {
    thread_ = std::thread([this, intervalSeconds] { run(intervalSeconds); });
}

void EventSender::run(int intervalSeconds) {
    const auto keepAliveInterval = std::chrono::seconds(intervalSeconds);
    auto nextKeepAlive = std::chrono::steady_clock::now() + keepAliveInterval;
    const auto record = keepAliveRecord();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kReapInterval);
        reapFinished();
        if (intervalSeconds > 0 && std::chrono::steady_clock::now() >= nextKeepAlive) {
            for (const auto& connection : connections_) {
                if (!connection->appletKey().empty()) {
                    connection->sendRecord(record);
                }
            }
            nextKeepAlive += keepAliveInterval;
        }
    }
}

void EventSender::stop() {
    std::vector<std::unique_ptr<AppletConnection>> all;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        all.swap(connections_);
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    for (auto& connection : all) {
        connection->stop();
    }
    all.clear();
}

} // namespace kesh::host
