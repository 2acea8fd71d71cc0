#include "core/Event.h"

#include "core/Helper.h"

#include <cerrno>
#include <fcntl.h>
#include <string>

Event::Event(bool manualReset, bool initialState) : manualReset_(manualReset) {
    const std::string name = "/" + getGUID();
    // A leftover semaphore of this name (a crashed earlier process with the
    // same pid) would keep its old count: remove it and create afresh.
    sem_unlink(name.c_str());
    semaphore_ = sem_open(name.c_str(), O_CREAT | O_EXCL, 0700, 0);
    // Only this process uses the semaphore, through its handle: the name can
    // go at once, so that a process that is killed leaves nothing behind.
    sem_unlink(name.c_str());
    if (semaphore_ != SEM_FAILED && initialState)
        sem_post(semaphore_);
}

Event::~Event() {
    if (semaphore_ != SEM_FAILED)
        sem_close(semaphore_);
}

int Event::Set() {
    if (!isValid())
        return -1;
    return sem_post(semaphore_);
}

int Event::Wait() {
    if (!isValid())
        return -1;
    int result;
    do {
        result = sem_wait(semaphore_);
    } while (result != 0 && errno == EINTR);
    if (result == 0 && manualReset_) {
        std::lock_guard lock(mutex_);
        sem_post(semaphore_);
    }
    return result;
}

int Event::TryWait() {
    if (!isValid())
        return -1;
    std::lock_guard lock(mutex_);
    int result;
    do {
        result = sem_trywait(semaphore_);
    } while (result != 0 && errno == EINTR);
    if (result == 0 && manualReset_)
        sem_post(semaphore_);
    return result;
}
