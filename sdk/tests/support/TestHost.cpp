#include "TestHost.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace halvtest {
namespace {

uint32_t le32(const std::vector<uint8_t>& bytes, size_t offset) {
    if (bytes.size() < offset + 4)
        return 0;
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xc0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3f));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xe0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (codePoint & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (codePoint & 0x3f));
    }
}

std::string makeTemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/halvtest-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder: " + std::string(std::strerror(errno)));
    return pattern;
}

} // namespace

uint32_t Message::payloadLength() const {
    return le32(raw, 4);
}

std::u16string Message::units(size_t offset, size_t capacity) const {
    std::u16string result;
    for (size_t i = 0; i < capacity && offset + 2 * i + 1 < raw.size(); ++i) {
        const char16_t unit = static_cast<char16_t>(raw[offset + 2 * i] | (raw[offset + 2 * i + 1] << 8));
        if (unit == 0)
            break;
        result += unit;
    }
    return result;
}

std::string Message::text(size_t offset, size_t capacity) const {
    const std::u16string field = units(offset, capacity);
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        uint32_t unit = field[i];
        if (unit >= 0xd800 && unit < 0xdc00 && i + 1 < field.size() && field[i + 1] >= 0xdc00 &&
            field[i + 1] < 0xe000) {
            unit = 0x10000 + ((unit - 0xd800) << 10) + (field[i + 1] - 0xdc00);
            ++i;
        } else if (unit >= 0xd800 && unit < 0xe000) {
            unit = 0xfffd; // a lone half of a pair, as a cut field may end
        }
        appendUtf8(out, unit);
    }
    return out;
}

std::string Message::identifier() const {
    return type == 2 || type == 3 ? text(8, 128) : "";
}
std::string Message::friendlyName() const {
    return type == 2 || type == 3 ? text(264, 128) : "";
}
std::string Message::executablePath() const {
    return type == 2 || type == 3 ? text(520, 256) : "";
}

std::string Message::fileName() const {
    return type >= 4 && type <= 7 ? text(8, 256) : "";
}
std::string Message::filePath() const {
    return type == 4 ? text(520, 256) : "";
}
std::string Message::fileType() const {
    if (type == 4)
        return text(1032, 256);
    return type == 5 ? text(520, 256) : "";
}

std::string Message::tag() const {
    return type == 8 || type == 9 ? text(12, 128) : "";
}
std::string Message::property() const {
    return type == 8 ? text(268, 128) : "";
}
std::string Message::value() const {
    return type == 8 ? text(524, 128) : "";
}
uint32_t Message::byClass() const {
    return type == 8 || type == 9 ? le32(raw, 8) : 0;
}

int32_t Message::width() const {
    return type == 6 ? static_cast<int32_t>(le32(raw, 520)) : 0;
}
int32_t Message::height() const {
    return type == 6 ? static_cast<int32_t>(le32(raw, 524)) : 0;
}

std::vector<uint8_t> Message::payload() const {
    size_t start = 0;
    switch (type) {
    case 3:
    case 5:
        start = 1032;
        break;
    case 6:
        start = 528;
        break;
    case 9:
        start = 268;
        break;
    default:
        return {};
    }
    if (raw.size() <= start)
        return {};
    return {raw.begin() + static_cast<std::ptrdiff_t>(start), raw.end()};
}

TestHost::TestHost() : dataHome_(makeTemporaryFolder()), ownsFolder_(true) {
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
        listen(listenFd_, 8) != 0 || pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot listen on " + socketPath_ + ": " + std::strerror(errno));
    thread_ = std::thread([this] { run(); });
}

TestHost::~TestHost() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
    // Nobody can connect any more by the time the clients see the end.
    close(listenFd_);
    std::error_code ignored;
    std::filesystem::remove(socketPath_, ignored);
    for (Client& client : clients_)
        if (client.fd >= 0)
            close(client.fd);
    close(wakePipe_[0]);
    close(wakePipe_[1]);
    if (ownsFolder_)
        std::filesystem::remove_all(dataHome_, ignored);
}

void TestHost::wake() {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(wakePipe_[1], &byte, 1);
}

void TestHost::run() {
    for (;;) {
        std::vector<pollfd> watched{{wakePipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        std::vector<size_t> watchedClients;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            for (size_t i = 0; i < clients_.size(); ++i)
                if (clients_[i].fd >= 0 && !paused_) {
                    watched.push_back({clients_[i].fd, POLLIN, 0});
                    watchedClients.push_back(i);
                }
        }
        if (poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[0].revents != 0) {
            char drain[64];
            while (read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
        }
        if (watched[1].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                std::lock_guard lock(mutex_);
                Client client;
                client.fd = fd;
                client.number = ++connections_;
                clients_.push_back(std::move(client));
                changed_.notify_all();
            }
        }
        for (size_t i = 0; i < watchedClients.size(); ++i)
            if (watched[i + 2].revents != 0)
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
        changed_.notify_all();
        return;
    }
    bytesReceived_ += static_cast<uint64_t>(received);
    client.pending.insert(client.pending.end(), chunk, chunk + received);
    size_t offset = 0;
    while (client.pending.size() - offset >= 8) {
        const size_t total = 8 + static_cast<size_t>(le32(client.pending, offset + 4));
        if (client.pending.size() - offset < total)
            break;
        Message message;
        message.type = le32(client.pending, offset);
        message.connection = client.number;
        message.raw.assign(client.pending.begin() + static_cast<std::ptrdiff_t>(offset),
                           client.pending.begin() + static_cast<std::ptrdiff_t>(offset + total));
        messages_.push_back(std::move(message));
        offset += total;
    }
    client.pending.erase(client.pending.begin(),
                         client.pending.begin() + static_cast<std::ptrdiff_t>(offset));
    changed_.notify_all();
}

bool TestHost::waitUntil(std::chrono::milliseconds deadline, const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, done);
}

bool TestHost::waitForMessages(size_t count, std::chrono::milliseconds deadline) {
    return waitUntil(deadline, [&] { return messages_.size() >= count; });
}

bool TestHost::waitForConnections(int count, std::chrono::milliseconds deadline) {
    return waitUntil(deadline, [&] { return connections_ >= count; });
}

bool TestHost::waitForDisconnects(int count, std::chrono::milliseconds deadline) {
    return waitUntil(deadline, [&] { return disconnects_ >= count; });
}

std::vector<Message> TestHost::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

uint64_t TestHost::bytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}

bool TestHost::sendRaw(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    if (clients_.empty() || clients_.back().fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = send(clients_.back().fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(sent);
    }
    return true;
}

bool TestHost::sendRecord(int32_t type, int32_t value, const std::vector<uint8_t>& arg) {
    std::vector<uint8_t> record(272, 0);
    record[0] = 1;
    for (int i = 0; i < 4; ++i) {
        record[8 + i] = static_cast<uint8_t>(static_cast<uint32_t>(type) >> (8 * i));
        record[12 + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    }
    std::copy_n(arg.begin(), std::min<size_t>(arg.size(), 256), record.begin() + 16);
    return sendRaw(record);
}

void TestHost::closeClient() {
    std::lock_guard lock(mutex_);
    // The reading thread sees the end and closes the descriptor.
    if (!clients_.empty() && clients_.back().fd >= 0)
        shutdown(clients_.back().fd, SHUT_RDWR);
    wake();
}

void TestHost::pauseReading(bool paused) {
    {
        std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    wake();
}

} // namespace halvtest
