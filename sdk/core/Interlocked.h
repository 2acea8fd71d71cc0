// A value with its own lock, for the SDK's process-wide numbers.
#ifndef HALV_INTERLOCKED_H
#define HALV_INTERLOCKED_H

#include <mutex>

template <typename T> class Interlocked {
public:
    explicit Interlocked(T initial = T{}) : value_(initial) {}
    Interlocked(const Interlocked&) = delete;
    Interlocked& operator=(const Interlocked&) = delete;

    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void set(T value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    // Stores `value` and returns the previous one, in one step.
    T exchange(T value) {
        std::lock_guard lock(mutex_);
        T found = value_;
        value_ = value;
        return found;
    }
    T add(T delta) {
        std::lock_guard lock(mutex_);
        value_ += delta;
        return value_;
    }

private:
    mutable std::mutex mutex_;
    T value_;
};

#endif
