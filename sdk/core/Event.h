// A signal on a named POSIX semaphore that both sides of the ring buffer wait
// on. Auto-reset events count their settings; a manual-reset event stays set
// once set.
#ifndef HALV_EVENT_H
#define HALV_EVENT_H

#include <mutex>
#include <semaphore.h>

class Event {
public:
    Event(bool manualReset, bool initialState);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // False when the semaphore could not be created; every operation then fails.
    bool isValid() const { return semaphore_ != SEM_FAILED; }

    // Posts once; 0 on success.
    int Set();
    // Blocks until set; 0 on success.
    int Wait();
    // 0 when the event was set, non-zero otherwise; never blocks.
    int TryWait();

private:
    std::mutex mutex_;
    sem_t* semaphore_ = SEM_FAILED;
    bool manualReset_;
};

#endif
