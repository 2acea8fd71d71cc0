// No exception may cross the C interface. Every export runs its work through
// guarded(): whatever throws inside the library (it ran out of memory, mostly)
// becomes the export's `failure` result, after `onThrow` ran.
#ifndef HALV_GUARDED_H
#define HALV_GUARDED_H

template <typename Result, typename Work, typename OnThrow>
Result guarded(Result failure, Work work, OnThrow onThrow) noexcept {
    try {
        return work();
    } catch (...) {
        onThrow();
        return failure;
    }
}

template <typename Result, typename Work> Result guarded(Result failure, Work work) noexcept {
    return guarded(failure, work, [] {});
}

#endif
