// A stand-in for the host gaming software, for tests and demos. It listens on
// the SDK's socket under a data folder, records every message an applet sends
// and can send records back. It decodes the bytes on its own, sharing no
// layout code with the SDK, so that a layout mistake cannot hide on both
// sides. Texts decode to UTF-8 up to their field's first zero unit.
#ifndef HALV_TEST_HOST_H
#define HALV_TEST_HOST_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kv::testsupport {
class TemporaryFolder;
}

namespace halvtest {

struct Message {
    uint32_t type = 0;
    std::vector<uint8_t> raw; // the whole message, its 8-byte header included
    int connection = 0;       // which client sent it, counted from 1

    std::string identifier() const { return textOf({2, 3}, 8, 128); }
    std::string friendlyName() const { return textOf({2, 3}, 264, 128); }
    std::string fileName() const { return textOf({4, 5, 6, 7}, 8, 256); }
    std::string filePath() const { return textOf({4}, 520, 256); }
    std::string tag() const { return textOf({8, 9}, 12, 128); }
    std::string property() const { return textOf({8}, 268, 128); }
    std::string value() const { return textOf({8}, 524, 128); }
    uint32_t byClass() const { return numberOf({8, 9}, 8); }
    int32_t width() const { return static_cast<int32_t>(numberOf({6}, 520)); }
    int32_t height() const { return static_cast<int32_t>(numberOf({6}, 524)); }
    // The icon, content, image or tag-content bytes.
    std::vector<uint8_t> payload() const;
    // The text field of `units` UTF-16 units at `offset`, in UTF-8.
    std::string text(size_t offset, size_t units) const;
    // A field of a message of one of `types`; empty or 0 for any other.
    std::string textOf(std::initializer_list<uint32_t> types, size_t offset, size_t units) const;
    uint32_t numberOf(std::initializer_list<uint32_t> types, size_t offset) const;
};

class TestHost {
public:
    // Listens in a fresh temporary folder, which XDG_DATA_HOME then names.
    TestHost();
    // Listens in an existing data folder; XDG_DATA_HOME is left alone.
    explicit TestHost(const std::string& existingDataHome);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    const std::string& dataHome() const { return dataHome_; }
    const std::string& socketPath() const { return socketPath_; }

    // True once that many messages, or client disconnects, were seen in all.
    bool waitForMessages(size_t count, std::chrono::milliseconds deadline);
    bool waitForDisconnects(int count, std::chrono::milliseconds deadline);
    std::vector<Message> messages() const;
    // Bytes (event records, say) to the latest client.
    bool sendRaw(const std::vector<uint8_t>& bytes);
    // Stops or resumes reading, to fill the applet's queue.
    void pauseReading(bool paused);

private:
    struct Client {
        int fd = -1;
        int number = 0;
        std::vector<uint8_t> pending;
    };

    void start();
    void run();
    void readClient(Client& client);
    bool waitUntil(std::chrono::milliseconds deadline, const std::function<bool()>& done);

    std::unique_ptr<kv::testsupport::TemporaryFolder> folder_;
    std::string dataHome_;
    std::string socketPath_;
    int listenFd_ = -1;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
    std::vector<Client> clients_;
    int disconnects_ = 0;
    bool paused_ = false;
    bool stopping_ = false;
};

} // namespace halvtest

#endif
