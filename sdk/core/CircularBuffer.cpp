#include "core/CircularBuffer.h"

#include <algorithm>
#include <cstring>

CircularBuffer::CircularBuffer(unsigned long capacity)
    : capacity_(capacity), data_(new unsigned char[capacity > 0 ? capacity : 1]) {}

unsigned long CircularBuffer::size() {
    std::lock_guard lock(mutex_);
    return size_;
}

unsigned long CircularBuffer::takeWaitersSatisfiedBy(Waiters& waiters, unsigned long available) {
    if (waiters.count == 0 || available < waiters.fewestWanted)
        return 0;
    // Every waiter wakes and looks again; those that want more wait again.
    const unsigned long woken = waiters.count;
    waiters = Waiters{};
    return woken;
}

void CircularBuffer::post(Event& event, unsigned long times) {
    for (unsigned long i = 0; i < times; ++i)
        event.Set();
}

unsigned long CircularBuffer::write(const void* bytes, unsigned long count) {
    if (count == 0)
        return 0;
    unsigned long stored;
    unsigned long wake;
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
        wake = takeWaitersSatisfiedBy(readers_, size_);
    }
    post(notEmpty_, wake);
    return stored;
}

unsigned long CircularBuffer::read(void* destination, unsigned long count) {
    const unsigned long taken = copyOut(0, destination, count);
    consume(taken);
    return taken;
}

int CircularBuffer::peek(unsigned long offset, unsigned long count, Piece pieces[2]) {
    std::lock_guard lock(mutex_);
    if (offset >= size_)
        return 0;
    count = std::min(count, size_ - offset);
    if (count == 0)
        return 0;
    unsigned long start = readIndex_ + offset;
    if (start >= capacity_)
        start -= capacity_;
    const unsigned long beforeEnd = capacity_ - start;
    pieces[0] = Piece{data_.get() + start, std::min(count, beforeEnd)};
    if (count <= beforeEnd)
        return 1;
    pieces[1] = Piece{data_.get(), count - beforeEnd};
    return 2;
}

unsigned long CircularBuffer::copyOut(unsigned long offset, void* destination, unsigned long count) {
    Piece pieces[2];
    const int found = peek(offset, count, pieces);
    auto* target = static_cast<unsigned char*>(destination);
    unsigned long copied = 0;
    for (int i = 0; i < found; ++i) {
        std::memcpy(target + copied, pieces[i].data, pieces[i].size);
        copied += pieces[i].size;
    }
    return copied;
}

void CircularBuffer::consume(unsigned long count) {
    if (count == 0)
        return;
    unsigned long wake;
    {
        std::lock_guard lock(mutex_);
        count = std::min(count, size_);
        readIndex_ += count;
        if (readIndex_ >= capacity_)
            readIndex_ -= capacity_;
        size_ -= count;
        wake = takeWaitersSatisfiedBy(writers_, capacity_ - size_);
    }
    post(notFull_, wake);
}

void CircularBuffer::clear() {
    unsigned long wake;
    {
        std::lock_guard lock(mutex_);
        readIndex_ = writeIndex_ = size_ = 0;
        // A reader that gave up on the stop event left its wish behind.
        readers_ = Waiters{};
        wake = takeWaitersSatisfiedBy(writers_, capacity_);
    }
    post(notFull_, wake);
}

bool CircularBuffer::waitForData(unsigned long bytes, Event* stop) {
    if (stop != nullptr && stop->TryWait() == 0)
        return false;
    {
        std::lock_guard lock(mutex_);
        bytes = std::max(1UL, std::min(bytes, capacity_));
        if (size_ >= bytes)
            return true;
        readers_.fewestWanted = readers_.count == 0 ? bytes : std::min(readers_.fewestWanted, bytes);
        ++readers_.count;
    }
    notEmpty_.Wait();
    return true;
}

bool CircularBuffer::waitForRoom(unsigned long bytes, Event* stop) {
    if (stop != nullptr && stop->TryWait() == 0)
        return false;
    {
        std::lock_guard lock(mutex_);
        bytes = std::max(1UL, std::min(bytes, capacity_));
        if (capacity_ - size_ >= bytes)
            return true;
        writers_.fewestWanted = writers_.count == 0 ? bytes : std::min(writers_.fewestWanted, bytes);
        ++writers_.count;
    }
    notFull_.Wait();
    return true;
}
