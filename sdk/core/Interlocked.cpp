#include "core/Interlocked.h"

// The library's process-wide numbers are all of this one kind; instantiating
// it here compiles it once.
template class Interlocked<long>;
