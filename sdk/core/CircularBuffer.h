// The byte ring buffer between the send operations and the writer thread.
#ifndef HALV_CIRCULAR_BUFFER_H
#define HALV_CIRCULAR_BUFFER_H

#include "Event.h"

#include <memory>
#include <mutex>

class CircularBuffer {
public:
    explicit CircularBuffer(unsigned long capacity);
    CircularBuffer(const CircularBuffer&) = delete;
    CircularBuffer& operator=(const CircularBuffer&) = delete;

    unsigned long size();
    unsigned long capacity() const { return capacity_; }
    bool isValid() const { return notFull_.isValid() && notEmpty_.isValid(); }

    // Stores as many of the `count` bytes as fit; returns how many.
    unsigned long write(const void* bytes, unsigned long count);
    // Takes up to `count` bytes; returns how many.
    unsigned long read(void* destination, unsigned long count);
    // Drops everything stored.
    void clear();

    // Block until a read (resp. write) happened since the last wait. With a
    // stop event that is set, returns false instead of waiting; whoever sets
    // the stop event must also wake the waiter through wakeReaders or
    // wakeWriters. A true result only says the event was set at some time.
    bool waitForNotFull(Event* stop);
    bool waitForNotEmpty(Event* stop);
    void wakeReaders() { notEmpty_.Set(); }
    void wakeWriters() { notFull_.Set(); }

private:
    std::mutex mutex_;
    Event notFull_{false, true};
    Event notEmpty_{false, false};
    unsigned long readIndex_ = 0;
    unsigned long writeIndex_ = 0;
    unsigned long size_ = 0;
    const unsigned long capacity_;
    std::unique_ptr<unsigned char[]> data_;
};

#endif
