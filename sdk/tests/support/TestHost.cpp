#include "TestHost.h"

#include "TemporaryFolder.h"

#include <CoreFoundation/Utf.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace halvtest {
namespace {

uint32_t le32(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && offset + i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

bool isType(uint32_t type, std::initializer_list<uint32_t> types) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

} // namespace

std::string Message::text(size_t offset, size_t units) const {
    std::u16string read;
    for (size_t i = 0; i < units && offset + 2 * i + 1 < raw.size(); ++i) {
        const auto unit = static_cast<char16_t>(raw[offset + 2 * i] | (raw[offset + 2 * i + 1] << 8));
        if (unit == 0)
            break;
        read.push_back(unit);
    }
    return kvcf::utf16ToUtf8(read);
}

std::string Message::textOf(std::initializer_list<uint32_t> types, size_t offset, size_t units) const {
    return isType(type, types) ? text(offset, units) : "";
}

uint32_t Message::numberOf(std::initializer_list<uint32_t> types, size_t offset) const {
    return isType(type, types) ? le32(raw, offset) : 0;
}

std::vector<uint8_t> Message::payload() const {
    const size_t start = isType(type, {3, 5}) ? 1032 : type == 6 ? 528 : type == 9 ? 268 : raw.size();
    return {raw.begin() + static_cast<std::ptrdiff_t>(std::min(start, raw.size())), raw.end()};
}

TestHost::TestHost()
    : folder_(std::make_unique<kv::testsupport::TemporaryFolder>()), dataHome_(folder_->path().string()) {
    setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
    start();
}

TestHost::TestHost(const std::string& existingDataHome) : dataHome_(existingDataHome) {
    start();
}

void TestHost::start() {
    std::filesystem::create_directories(dataHome_ + "/Halvorin");
    socketPath_ = dataHome_ + "/Halvorin/TAMBER_GAMEAPP_SDK";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + socketPath_);
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
    unlink(socketPath_.c_str());
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 8) != 0)
        throw std::runtime_error("cannot listen on " + socketPath_ + ": " + std::strerror(errno));
    thread_ = std::thread([this] { run(); });
}

TestHost::~TestHost() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    thread_.join();
    // Nobody can connect any more by the time the clients see the end.
    close(listenFd_);
    unlink(socketPath_.c_str());
    for (Client& client : clients_)
        if (client.fd >= 0)
            close(client.fd);
}

void TestHost::run() {
    for (;;) {
        std::vector<pollfd> watched{{listenFd_, POLLIN, 0}};
        std::vector<size_t> watchedClients;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            for (size_t i = 0; i < clients_.size() && !paused_; ++i)
                if (clients_[i].fd >= 0) {
                    watched.push_back({clients_[i].fd, POLLIN, 0});
                    watchedClients.push_back(i);
                }
        }
        // Wakes now and then to see whether it is to stop or pause.
        if (poll(watched.data(), watched.size(), 10) <= 0)
            continue;
        if (watched[0].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            std::lock_guard lock(mutex_);
            if (fd >= 0)
                clients_.push_back(Client{fd, static_cast<int>(clients_.size()) + 1, {}});
        }
        for (size_t i = 0; i < watchedClients.size(); ++i)
            if (watched[i + 1].revents != 0)
                readClient(clients_[watchedClients[i]]);
    }
}

void TestHost::readClient(Client& client) {
    uint8_t chunk[65536];
    const ssize_t received = recv(client.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    std::lock_guard lock(mutex_);
    if (received <= 0) {
        close(client.fd);
        client.fd = -1;
        ++disconnects_;
    } else {
        client.pending.insert(client.pending.end(), chunk, chunk + received);
        size_t offset = 0;
        for (size_t total; client.pending.size() - offset >= 8 &&
                           client.pending.size() - offset >= (total = 8 + le32(client.pending, offset + 4));
             offset += total) {
            const auto begin = client.pending.begin() + static_cast<std::ptrdiff_t>(offset);
            messages_.push_back({le32(client.pending, offset),
                                 {begin, begin + static_cast<std::ptrdiff_t>(total)},
                                 client.number});
        }
        client.pending.erase(client.pending.begin(),
                             client.pending.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    changed_.notify_all();
}

bool TestHost::waitUntil(std::chrono::milliseconds deadline, const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, done);
}

bool TestHost::waitForMessages(size_t count, std::chrono::milliseconds deadline) {
    return waitUntil(deadline, [&] { return messages_.size() >= count; });
}

bool TestHost::waitForDisconnects(int count, std::chrono::milliseconds deadline) {
    return waitUntil(deadline, [&] { return disconnects_ >= count; });
}

std::vector<Message> TestHost::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

bool TestHost::sendRaw(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    if (clients_.empty() || clients_.back().fd < 0)
        return false;
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t sent = send(clients_.back().fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR)
            return false;
        done += static_cast<size_t>(std::max<ssize_t>(sent, 0));
    }
    return true;
}

void TestHost::pauseReading(bool paused) {
    std::lock_guard lock(mutex_);
    paused_ = paused;
}

} // namespace halvtest
