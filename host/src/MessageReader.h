// Incremental reader of the applet-to-host byte stream: bytes in, whole
// messages or one error out. It holds no socket, so it can be tested and
// fuzzed on its own.
#pragma once

#include "HostMessage.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kesh::host {

class MessageReader {
public:
    // Largest variable payload (content, image bitmap, tag content) accepted.
    static constexpr std::size_t kDefaultMaxPayload = 64u * 1024 * 1024;

    explicit MessageReader(std::size_t maxPayload = kDefaultMaxPayload) : maxPayload_(maxPayload) {}

    // Consumes all of `bytes`, appending every message completed by them to
    // `out`. Returns false at the first malformed message; error() tells why
    // and every later call returns false without reading.
    bool feed(std::span<const std::uint8_t> bytes, std::vector<HostMessage>& out);

    const std::string& error() const { return error_; }
    bool failed() const { return !error_.empty(); }
    // True while part of a message has arrived but not all of it.
    bool midMessage() const { return !pending_.empty(); }

private:
    bool checkHeader();
    bool checkFixedPart();
    HostMessage decode() const;
    bool fail(std::string why);

    std::size_t maxPayload_;
    std::vector<std::uint8_t> pending_; // the bytes of the message being read
    std::size_t expected_ = 0;          // its total size, once the header is known
    std::size_t fixedSize_ = 0;         // size of its header and fixed fields
    bool fixedChecked_ = false;
    std::string error_;
};

} // namespace kesh::host
