// Collecting confirmed bytes into messages. A message is its UTF-8 bytes
// followed by the terminator bytes 7 and 8.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::channel {

// The longest message the add-on sends (a name and realm, an NPC number) is
// far below this; a buffer that reaches it holds garbage from misread frames,
// and bounding it keeps an endless run of such frames from using up memory.
inline constexpr std::size_t kMaxMessageBytes = 1024;

// A partial message with no new byte for this long was cut off in the game
// (closed, a loading screen, a reload); it is dropped so that it is never
// glued to the next message. The add-on keeps its strip black for longer
// than this before it sends a message again from its start.
inline constexpr std::chrono::seconds kPartialMessageTimeout{3};

inline constexpr int kTerminatorFirst = 7;
inline constexpr int kTerminatorSecond = 8;
// The highest byte value a message may hold; 255 is never collected.
inline constexpr int kHighestMessageByte = 254;

enum class ByteOutcome {
    Collected,        // appended to the message in progress
    Ignored,          // 255 is never collected
    MessageComplete,  // `text` holds the finished message
    TooShortToFinish, // terminator after fewer than 2 message bytes: the bytes stay
    DroppedInvalid,   // terminator, but the bytes were not UTF-8: dropped, buffer emptied
};

struct AcceptedByte {
    ByteOutcome outcome = ByteOutcome::Ignored;
    std::string text;               // the message, for MessageComplete
    bool discardedOverflow = false; // a full buffer was emptied before collecting
};

// One accepted byte `value` (0..255) against the message in progress and the
// last byte collected into it.
AcceptedByte acceptByte(std::vector<std::uint8_t>& nameInProgress, std::int64_t& rememberLastChar, int value);

} // namespace kv::channel
