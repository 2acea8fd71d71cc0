// CPU time of the threads of this process, by kernel thread id, so that a
// thread the SDK starts and keeps to itself can still be measured.
#ifndef KV_BENCH_THREAD_CPU_TIME_H
#define KV_BENCH_THREAD_CPU_TIME_H

#include <optional>
#include <set>
#include <sys/types.h>

// Kernel ids of this process's threads now.
std::set<pid_t> threadIds();
// Seconds of CPU time the thread has used, or none when it is gone.
std::optional<double> threadCpuSeconds(pid_t tid);

#endif
