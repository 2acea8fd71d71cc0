#include "Log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace kesh::host {

void logLine(std::string_view line) {
    static std::mutex mutex;
    std::string text = "kesh-host: ";
    text.append(line);
    text += '\n';
    const std::lock_guard lock(mutex);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace kesh::host
