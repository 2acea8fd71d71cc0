// The unit of the ring buffer between the sends and the writer: an 8-byte
// length word in the machine's order, then that many bytes of a message. The
// word never leaves the library.
#ifndef HALV_FRAME_FORMAT_H
#define HALV_FRAME_FORMAT_H

#include "core/HostProtocol.h"

#include <cstdint>

namespace frame {

constexpr unsigned long kLengthWord = sizeof(uint64_t);
// A message's payload is queued in chunks of at most this many bytes: the
// first frame holds the fixed part and the first chunk, each continuation
// frame one more chunk.
constexpr unsigned long kChunkSize = 300000;
constexpr unsigned long kLargestFrame = protocol::content::kFixedSize + kChunkSize;
// Set in the length word of a continuation frame.
constexpr uint64_t kContinuation = uint64_t{1} << 63;

} // namespace frame

#endif
