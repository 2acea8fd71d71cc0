// The bytes on the host socket: the messages the library sends and the event
// records the host sends back. Integers are little-endian; a text goes into a
// fixed, zero-filled field as UTF-16 code units, cut to the field.
#ifndef HALV_HOST_PROTOCOL_H
#define HALV_HOST_PROTOCOL_H

#include <cstdint>

namespace protocol {

// Every message starts with its type and the length of what follows.
enum MessageType : uint32_t {
    kRegistration = 2,
    kRegistrationWithIcon = 3,
    kFile = 4,
    kContent = 5,
    kImage = 6,
    kIndex = 7,
    kTagProperty = 8,
    kTagContent = 9,
};
constexpr unsigned long kTypeOffset = 0;
constexpr unsigned long kPayloadLengthOffset = 4;
constexpr unsigned long kHeaderSize = 8;

// A text field: where it starts and how many UTF-16 units it holds.
struct TextField {
    unsigned long offset;
    unsigned long units;
};

// The fixed part of each message; a payload, if any, follows it.
namespace registration {
constexpr TextField kIdentifier{8, 128};
constexpr TextField kFriendlyName{264, 128};
// 512 bytes, of which the last unit always stays zero.
constexpr TextField kExecutablePath{520, 255};
constexpr unsigned long kSize = 1032;
// The icon follows the plain registration.
constexpr unsigned long kIconBytes = 82944;
constexpr unsigned long kSizeWithIcon = kSize + kIconBytes;
} // namespace registration

namespace file {
constexpr TextField kFileName{8, 256};
constexpr TextField kFilePath{520, 256};
constexpr TextField kFileType{1032, 256};
constexpr unsigned long kSize = 1544;
} // namespace file

namespace content {
constexpr TextField kFileName{8, 256};
constexpr TextField kFileType{520, 256};
constexpr unsigned long kFixedSize = 1032;
} // namespace content

namespace image {
constexpr TextField kFileName{8, 256};
constexpr unsigned long kWidthOffset = 520;
constexpr unsigned long kHeightOffset = 524;
constexpr unsigned long kFixedSize = 528;
} // namespace image

namespace index {
constexpr TextField kFileName{8, 256};
constexpr unsigned long kSize = 520;
} // namespace index

// Tag property and tag content: 0 for the element with this id, 1 for the
// elements of this class.
constexpr unsigned long kByClassOffset = 8;
constexpr TextField kTag{12, 128};

namespace tagProperty {
constexpr TextField kProperty{268, 128};
constexpr TextField kValue{524, 128};
constexpr unsigned long kSize = 780;
} // namespace tagProperty

namespace tagContent {
constexpr unsigned long kFixedSize = 268;
} // namespace tagContent

// The payload length field is 32 bits wide.
constexpr unsigned long kLargestPayload = 0x7fffffff;

// Records from the host: an idle record, or an event with two numbers and a
// 256-byte argument area. A record of any other type is skipped like an idle
// one.
namespace record {
constexpr uint32_t kEvent = 1;
constexpr long kTypeOffset = 0;
constexpr long kHeaderSize = 8;
constexpr long kIdleSize = 16;
constexpr long kEventTypeOffset = 8;
constexpr long kEventValueOffset = 12;
constexpr long kEventArgOffset = 16;
constexpr long kEventArgSize = 256;
constexpr long kEventSize = kEventArgOffset + kEventArgSize;
} // namespace record

} // namespace protocol

#endif
