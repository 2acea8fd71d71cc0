// A host that accepts any number of clients on a UNIX-domain socket and reads
// whatever they send as fast as it can, keeping only a count. One thread, made
// at construction, serves every client, so that a thread made later in the
// process is never the host's.
#ifndef KV_BENCH_DRAIN_HOST_H
#define KV_BENCH_DRAIN_HOST_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class DrainHost {
public:
    // Listens on `socketPath` (its folder must exist).
    explicit DrainHost(const std::string& socketPath);
    ~DrainHost();
    DrainHost(const DrainHost&) = delete;
    DrainHost& operator=(const DrainHost&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    // Bytes read from all clients so far.
    uint64_t bytesReceived();
    // True once `total` bytes arrived in all, false at the deadline.
    bool waitForBytes(uint64_t total, std::chrono::milliseconds deadline);

private:
    void run();

    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::mutex mutex_;
    std::condition_variable arrived_;
    uint64_t received_ = 0;
    std::thread thread_;
};

#endif
