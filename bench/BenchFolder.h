// A fresh temporary data folder for one benchmark, made the SDK's data folder
// (XDG_DATA_HOME) while it lives, with a draining host on the SDK's socket.
#ifndef KV_BENCH_FOLDER_H
#define KV_BENCH_FOLDER_H

#include "DrainHost.h"

#include <memory>
#include <string>

class BenchFolder {
public:
    BenchFolder();
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    bool ready() const { return host_ && host_->listening(); }
    const std::string& path() const { return path_; }
    const std::string& socketPath() const { return socketPath_; }
    DrainHost& host() { return *host_; }

private:
    std::string path_;
    std::string socketPath_;
    std::string previousDataHome_;
    bool hadDataHome_ = false;
    std::unique_ptr<DrainHost> host_;
};

// A plain client socket connected to `socketPath`, or -1.
int connectTo(const std::string& socketPath);
// Sends every byte on a blocking socket; false when the peer is gone.
bool sendAll(int fd, const void* bytes, size_t count);

#endif
