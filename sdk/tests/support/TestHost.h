// A stand-in for the host gaming software, for tests and demos: it listens on
// the SDK's socket in a temporary data folder, records every message an applet
// sends and can send event records back. It decodes the bytes on its own,
// sharing no layout code with the SDK, so that a layout mistake cannot hide on
// both sides.
//
// API (namespace halvtest):
//   TestHost()                  fresh temporary folder, XDG_DATA_HOME set to it
//                               (setenv), listening on
//                               <it>/Halvorin/TAMBER_GAMEAPP_SDK on a background
//                               thread. ~TestHost() stops and removes the folder.
//   TestHost(folder)            the same in an existing folder, kept afterwards;
//                               XDG_DATA_HOME is left alone.
//   dataHome(), socketPath()
//   waitForMessages(n, deadline)    true once n messages arrived in all
//   messages()                      thread-safe copy of what arrived, in order
//   waitForConnections(n, deadline) true once n clients connected in all
//   waitForDisconnects(n, deadline) true once n clients closed their end
//   sendRecord(type, value, arg)    one event record (type 1) to the latest
//                                   client: arg is cut or zero-filled to 256 bytes
//   sendRaw(bytes)                  any bytes to the latest client
//   closeClient()                   closes the latest client's socket
//   pauseReading(bool)              stop or resume reading (to fill the queue)
//   bytesReceived()
// Message: type, raw (the whole message with its 8-byte header) and decoders
// for the fields of each type; a text field decodes to UTF-8 up to its first
// zero unit. payload() is the content, image, icon or tag-content bytes.
#ifndef HALV_TEST_HOST_H
#define HALV_TEST_HOST_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halvtest {

struct Message {
    uint32_t type = 0;
    std::vector<uint8_t> raw;
    int connection = 0; // which client sent it, counted from 1

    uint32_t payloadLength() const;
    // Registration (2, 3).
    std::string identifier() const;
    std::string friendlyName() const;
    std::string executablePath() const;
    // File (4), content (5), image (6), index (7).
    std::string fileName() const;
    std::string filePath() const;
    std::string fileType() const;
    // Tag property (8) and tag content (9).
    std::string tag() const;
    std::string property() const;
    std::string value() const;
    uint32_t byClass() const;
    // Image (6).
    int32_t width() const;
    int32_t height() const;
    // Icon (3), content (5), image (6), tag content (9).
    std::vector<uint8_t> payload() const;

    // The UTF-16 units of a field up to its first zero unit.
    std::u16string units(size_t offset, size_t capacity) const;
    std::string text(size_t offset, size_t capacity) const;
};

class TestHost {
public:
    TestHost();
    explicit TestHost(const std::string& existingDataHome);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    const std::string& dataHome() const { return dataHome_; }
    const std::string& socketPath() const { return socketPath_; }

    bool waitForMessages(size_t count, std::chrono::milliseconds deadline);
    std::vector<Message> messages() const;
    bool waitForConnections(int count, std::chrono::milliseconds deadline);
    bool waitForDisconnects(int count, std::chrono::milliseconds deadline);
    uint64_t bytesReceived() const;

    bool sendRecord(int32_t type, int32_t value, const std::vector<uint8_t>& arg);
    bool sendRaw(const std::vector<uint8_t>& bytes);
    void closeClient();
    void pauseReading(bool paused);

private:
    struct Client {
        int fd = -1;
        int number = 0;
        std::vector<uint8_t> pending;
        bool open = true;
    };

    void start();
    void run();
    void wake();
    void readClient(Client& client);
    bool waitUntil(std::chrono::milliseconds deadline, const std::function<bool()>& done);

    std::string dataHome_;
    std::string socketPath_;
    bool ownsFolder_ = false;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
    std::vector<Client> clients_;
    int connections_ = 0;
    int disconnects_ = 0;
    uint64_t bytesReceived_ = 0;
    bool paused_ = false;
    bool stopping_ = false;
};

} // namespace halvtest

#endif
