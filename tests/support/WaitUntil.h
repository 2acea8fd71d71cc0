// Waiting in tests: the Qt event loop runs (timers, painting, captures, child
// processes) until a condition holds or a deadline passes. Never a sleep.
#pragma once

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace kv::testsupport {

// True when the condition held before the deadline.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace kv::testsupport
