// Messages and records of the applet-host protocol built byte by byte, apart
// from the SDK's and the host's own layout code, so that tests of either side
// state the bytes the other one sends.
#ifndef HALV_WIRE_MESSAGE_H
#define HALV_WIRE_MESSAGE_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace halvtest {

// A message: its header (type, then the length that follows it), fields at
// their offsets, then any payload.
struct Wire {
    Wire(std::uint32_t type, std::size_t fixedSize) : bytes(fixedSize, 0) {
        u32(0, type).u32(4, static_cast<std::uint32_t>(fixedSize - 8));
    }
    // An event record from the host: 272 bytes with a 256-byte argument for
    // kind 1, 16 bytes for any other.
    static Wire record(std::uint32_t kind, std::int32_t type, std::int32_t value) {
        Wire r(kind, kind == 1 ? 272 : 16);
        return r.u32(4, 0)
            .u32(8, static_cast<std::uint32_t>(type))
            .u32(12, static_cast<std::uint32_t>(value));
    }
    Wire& u32(std::size_t offset, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return *this;
    }
    // UTF-16 units, little-endian; the rest of the field stays zero.
    Wire& text(std::size_t offset, const std::u16string& units) {
        for (std::size_t i = 0; i < units.size(); ++i) {
            bytes[offset + 2 * i] = static_cast<std::uint8_t>(units[i]);
            bytes[offset + 2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
        }
        return *this;
    }
    template <typename Bytes> Wire& payload(const Bytes& data) {
        bytes.insert(bytes.end(), std::begin(data), std::end(data));
        return u32(4, static_cast<std::uint32_t>(bytes.size() - 8));
    }
    std::vector<std::uint8_t> bytes;
};

inline std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace halvtest

#endif
