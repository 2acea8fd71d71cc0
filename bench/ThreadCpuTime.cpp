#include "ThreadCpuTime.h"

#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>

std::set<pid_t> threadIds() {
    std::set<pid_t> ids;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return ids;
    while (const dirent* entry = readdir(tasks)) {
        char* end = nullptr;
        const long id = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0')
            ids.insert(static_cast<pid_t>(id));
    }
    closedir(tasks);
    return ids;
}

std::optional<double> threadCpuSeconds(pid_t tid) {
    // The kernel's per-thread CPU clock of any thread of the process, made the
    // way pthread_getcpuclockid makes it: nanoseconds, unlike the clock ticks
    // of /proc/<tid>/stat, which are too coarse for a nearly idle thread.
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
    timespec used{};
    if (clock_gettime(clock, &used) == 0)
        return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
    // Fallback: the scheduler's own account, also in nanoseconds.
    std::ifstream schedstat("/proc/self/task/" + std::to_string(tid) + "/schedstat");
    double nanoseconds = 0;
    if (schedstat >> nanoseconds)
        return nanoseconds * 1e-9;
    return std::nullopt;
}
