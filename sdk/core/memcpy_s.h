// A bounded copy that never writes past its destination.
#ifndef HALV_MEMCPY_S_H
#define HALV_MEMCPY_S_H

#include <cstddef>

// Copies `count` bytes into a destination of `destinationSize` bytes. Returns
// 0 on success (also for a count of 0), 22 (EINVAL) for a null destination or
// source, 34 (ERANGE) when the destination is too small. On failure with a
// destination, the whole destination is zeroed.
int memcpy_s(void* destination, size_t destinationSize, const void* source, size_t count);

#endif
