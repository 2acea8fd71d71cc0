// The byte ring buffer between the send operations and the writer thread.
#ifndef HALV_CIRCULAR_BUFFER_H
#define HALV_CIRCULAR_BUFFER_H

#include "core/Event.h"

#include <memory>
#include <mutex>

class CircularBuffer {
public:
    // A run of stored bytes inside the storage.
    struct Piece {
        const unsigned char* data = nullptr;
        unsigned long size = 0;
    };

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

    // For the one reader, so that it can hand stored bytes to the socket
    // without copying them out first: the stored bytes from `offset` on, up to
    // `count`, as at most two pieces (the second after the wrap); returns how
    // many pieces. They stay valid, and unchanged, until consumed.
    int peek(unsigned long offset, unsigned long count, Piece pieces[2]);
    // Copies stored bytes from `offset` on without taking them; returns how many.
    unsigned long copyOut(unsigned long offset, void* destination, unsigned long count);
    // Takes `count` stored bytes (at most what is stored) without copying them.
    void consume(unsigned long count);

    // Block until at least `bytes` are stored (resp. `bytes` of room are free,
    // or the buffer is empty when it is smaller). With a stop event that is
    // set, returns false instead; it is looked at first. Whoever sets the stop
    // event must also wake the waiter through wakeReaders or wakeWriters. A
    // true result may be early: callers look at the buffer again.
    bool waitForData(unsigned long bytes, Event* stop);
    bool waitForRoom(unsigned long bytes, Event* stop);
    void wakeReaders() { notEmpty_.Set(); }
    void wakeWriters() { notFull_.Set(); }

private:
    // Who waits, and for how much: a write or read posts an event only when
    // it gives a waiter what it waits for, so that idle counts never pile up
    // in the semaphores and turn later waits into spinning.
    struct Waiters {
        unsigned long count = 0;
        unsigned long fewestWanted = 0;
    };
    // Under the mutex: how many waiters to wake now that `available` is there.
    static unsigned long takeWaitersSatisfiedBy(Waiters& waiters, unsigned long available);
    static void post(Event& event, unsigned long times);

    std::mutex mutex_;
    Event notFull_{false, true};
    Event notEmpty_{false, false};
    unsigned long readIndex_ = 0;
    unsigned long writeIndex_ = 0;
    unsigned long size_ = 0;
    const unsigned long capacity_;
    std::unique_ptr<unsigned char[]> data_;
    Waiters readers_;
    Waiters writers_;
};

#endif
