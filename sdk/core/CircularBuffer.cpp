#include "CircularBuffer.h"

#include <algorithm>
#include <cstring>

CircularBuffer::CircularBuffer(unsigned long capacity)
    : capacity_(capacity), data_(new unsigned char[capacity > 0 ? capacity : 1]) {}

unsigned long CircularBuffer::size() {
    std::lock_guard lock(mutex_);
    return size_;
}

unsigned long CircularBuffer::write(const void* bytes, unsigned long count) {
    if (count == 0)
        return 0;
    unsigned long stored;
    {
        std::lock_guard lock(mutex_);
        stored = std::min(capacity_ - size_, count);
        const unsigned long beforeEnd = capacity_ - writeIndex_;
        const auto* source = static_cast<const unsigned char*>(bytes);
        if (stored <= beforeEnd) {
            std::memcpy(data_.get() + writeIndex_, source, stored);
            writeIndex_ += stored;
            if (writeIndex_ == capacity_)
                writeIndex_ = 0;
        } else {
            std::memcpy(data_.get() + writeIndex_, source, beforeEnd);
            std::memcpy(data_.get(), source + beforeEnd, stored - beforeEnd);
            writeIndex_ = stored - beforeEnd;
        }
        size_ += stored;
    }
    notEmpty_.Set();
    return stored;
}

unsigned long CircularBuffer::read(void* destination, unsigned long count) {
    if (count == 0)
        return 0;
    unsigned long taken;
    {
        std::lock_guard lock(mutex_);
        taken = std::min(size_, count);
        const unsigned long beforeEnd = capacity_ - readIndex_;
        auto* target = static_cast<unsigned char*>(destination);
        if (taken <= beforeEnd) {
            std::memcpy(target, data_.get() + readIndex_, taken);
            readIndex_ += taken;
            if (readIndex_ == capacity_)
                readIndex_ = 0;
        } else {
            std::memcpy(target, data_.get() + readIndex_, beforeEnd);
            std::memcpy(target + beforeEnd, data_.get(), taken - beforeEnd);
            readIndex_ = taken - beforeEnd;
        }
        size_ -= taken;
    }
    notFull_.Set();
    return taken;
}

void CircularBuffer::clear() {
    {
        std::lock_guard lock(mutex_);
        readIndex_ = writeIndex_ = size_ = 0;
    }
    notFull_.Set();
}

bool CircularBuffer::waitForNotFull(Event* stop) {
    if (stop != nullptr && stop->TryWait() == 0)
        return false;
    notFull_.Wait();
    return true;
}

bool CircularBuffer::waitForNotEmpty(Event* stop) {
    if (stop != nullptr && stop->TryWait() == 0)
        return false;
    notEmpty_.Wait();
    return true;
}
