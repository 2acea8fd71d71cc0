// The display's HTTP connections. One thread accepts them and reads each
// request whole (header and body, within their limits and a deadline)
// before any worker sees it, so a client that trickles its request in, or
// never finishes it, holds no worker. A fixed pool of workers answers one
// request per connection.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kesh::host {

struct HttpLimits {
    static constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
    static constexpr std::size_t kMaxHeaderLines = 64;
    static constexpr std::size_t kMaxBodyBytes = 64 * 1024;
    // From the connection to the last byte of its request.
    static constexpr auto kRequestDeadline = std::chrono::seconds(10);
    // Connections still sending their request, and requests waiting for a
    // worker: beyond this many, the oldest is closed.
    static constexpr std::size_t kMaxWaiting = 256;
    static constexpr std::size_t kWorkers = 24;
    // A response that makes no progress for this long is given up.
    static constexpr auto kWriteStall = std::chrono::seconds(10);
};

// What is known of a request from its first bytes.
struct RequestCheck {
    int refusal = 0;           // an HTTP status: the request is refused
    std::size_t headerEnd = 0; // 0 until the header is whole
    std::size_t total = 0;     // the length of header and body
    bool expectsContinue = false;
};
RequestCheck checkRequest(std::string_view bytes);

class HttpListener {
public:
    using Serve = std::function<void(httplib::Stream& request)>;

    explicit HttpListener(Serve serve) : serve_(std::move(serve)) {}
    ~HttpListener();
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // Listens on host:port (port 0 picks a free one); false with a reason.
    bool bind(const std::string& host, int port, std::string& problem);
    int port() const { return port_; }
    int socket() const { return listenFd_; }
    void start();
    // Stops accepting and cuts the connections being answered short.
    void stop();

private:
    struct Waiting {
        int fd = -1;
        std::string bytes;
        std::chrono::steady_clock::time_point deadline;
        bool continued = false; // "100 Continue" was sent
        bool draining = false;  // refused: the rest of the request is read and dropped
    };

    void acceptLoop();
    void acceptNew();
    bool readMore(Waiting& waiting);
    void refuse(Waiting& waiting, int status);
    void handOver(int fd, std::string request);
    void workerLoop();
    void answer(int fd, std::string request);

    Serve serve_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    int port_ = 0;
    std::vector<Waiting> waiting_; // accept thread only; oldest first
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::pair<int, std::string>> requests_; // whole requests for the workers
    std::set<int> answering_;
    bool stopping_ = false;
    std::thread acceptThread_;
    std::vector<std::thread> workers_;
};

} // namespace kesh::host
