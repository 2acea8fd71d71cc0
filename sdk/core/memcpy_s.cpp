#include "core/memcpy_s.h"

#include <cerrno>
#include <cstring>

int memcpy_s(void* destination, size_t destinationSize, const void* source, size_t count) {
    if (count == 0)
        return 0;
    if (destination == nullptr)
        return EINVAL;
    if (source != nullptr && destinationSize >= count) {
        std::memcpy(destination, source, count);
        return 0;
    }
    std::memset(destination, 0, destinationSize);
    return source != nullptr ? ERANGE : EINVAL;
}
