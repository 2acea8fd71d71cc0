#include "Log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace kesh::host {

void logLine(std::string_view line) {
    static std::mutex mutex;
    std::string text = "kesh-host: ";
    // Names in log lines come from applets: control characters could drive the terminal.
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    text += '\n';
    const std::lock_guard lock(mutex);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace kesh::host
