#include "MessageReader.h"

#include <algorithm>

namespace kesh::host {

namespace {

constexpr std::size_t kHeaderSize = 8;

// Where the bytes carried unchanged (icon, content, bitmap, tag content) start; 0 for none.
std::size_t payloadOffset(MessageType type) {
    switch (type) {
    case MessageType::RegistrationWithIcon:
    case MessageType::Content:
        return 1032;
    case MessageType::Image:
        return 528;
    case MessageType::TagContent:
        return 268;
    default:
        return 0;
    }
}

std::uint32_t readU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::int32_t readI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readU32(p));
}

struct Layout {
    std::size_t fixedSize; // header and fixed fields
    bool variable;         // whether a payload of any length follows
};

// Fixed sizes per type; a type without a variable payload must be exactly this long.
bool layoutOf(std::uint32_t type, Layout& layout) {
    switch (type) {
    case 2:
        layout = {1032, false};
        return true;
    case 3:
        layout = {1032 + kIconBytes, false};
        return true;
    case 4:
        layout = {1544, false};
        return true;
    case 5:
        layout = {1032, true};
        return true;
    case 6:
        layout = {528, true};
        return true;
    case 7:
        layout = {520, false};
        return true;
    case 8:
        layout = {780, false};
        return true;
    case 9:
        layout = {268, true};
        return true;
    default:
        return false;
    }
}

std::span<const std::uint8_t> field(const std::vector<std::uint8_t>& bytes, std::size_t offset,
                                    std::size_t size) {
    return std::span<const std::uint8_t>(bytes).subspan(offset, size);
}

} // namespace

bool MessageReader::fail(std::string why) {
    error_ = std::move(why);
    pending_.clear();
    pending_.shrink_to_fit();
    return false;
}

bool MessageReader::checkHeader() {
    const std::uint32_t type = readU32(pending_.data());
    const std::uint32_t length = readU32(pending_.data() + 4);
    Layout layout{};
    if (!layoutOf(type, layout)) {
        return fail("unknown message type " + std::to_string(type));
    }
    const std::size_t fixedPayload = layout.fixedSize - kHeaderSize;
    const std::string name = messageTypeName(static_cast<MessageType>(type));
    if (!layout.variable && length != fixedPayload) {
        return fail(name + " message with payload length " + std::to_string(length) + ", expected " +
                    std::to_string(fixedPayload));
    }
    if (layout.variable && length < fixedPayload) {
        return fail(name + " message with payload length " + std::to_string(length) + ", shorter than its " +
                    std::to_string(fixedPayload) + " bytes of fields");
    }
    if (layout.variable && length - fixedPayload > maxPayload_) {
        return fail(name + " message carrying " + std::to_string(length - fixedPayload) +
                    " bytes, more than the limit of " + std::to_string(maxPayload_));
    }
    expected_ = kHeaderSize + length;
    fixedSize_ = layout.fixedSize;
    fixedChecked_ = false;
    return true;
}

bool MessageReader::checkFixedPart() {
    fixedChecked_ = true;
    const auto type = static_cast<MessageType>(readU32(pending_.data()));
    if (type == MessageType::TagProperty || type == MessageType::TagContent) {
        const std::uint32_t byClass = readU32(pending_.data() + 8);
        if (byClass > 1) {
            return fail(std::string(messageTypeName(type)) + " message with selector kind " +
                        std::to_string(byClass) + " (0 or 1 expected)");
        }
    }
    if (type == MessageType::Image) {
        const std::int64_t width = readI32(pending_.data() + 520);
        const std::int64_t height = readI32(pending_.data() + 524);
        const std::size_t bitmapBytes = expected_ - fixedSize_;
        // Both sides are at most 2^31, so the product cannot overflow 64 bits.
        if (width < 0 || height < 0 || std::uint64_t(width * height) * 4 != bitmapBytes) {
            return fail("image message of " + std::to_string(width) + "x" + std::to_string(height) +
                        " pixels carrying " + std::to_string(bitmapBytes) + " bytes");
        }
    }
    return true;
}

HostMessage MessageReader::decode() const {
    HostMessage m;
    m.type = static_cast<MessageType>(readU32(pending_.data()));
    const auto& b = pending_;
    switch (m.type) {
    case MessageType::Registration:
    case MessageType::RegistrationWithIcon:
        m.identifier = decodeUtf16Field(field(b, 8, 256));
        m.friendlyName = decodeUtf16Field(field(b, 264, 256));
        m.executablePath = decodeUtf16Field(field(b, 520, 512));
        break;
    case MessageType::File:
        m.fileName = decodeUtf16Field(field(b, 8, 512));
        m.filePath = decodeUtf16Field(field(b, 520, 512));
        m.fileType = decodeUtf16Field(field(b, 1032, 512));
        break;
    case MessageType::Content:
        m.fileName = decodeUtf16Field(field(b, 8, 512));
        m.fileType = decodeUtf16Field(field(b, 520, 512));
        break;
    case MessageType::Image:
        m.fileName = decodeUtf16Field(field(b, 8, 512));
        m.width = readI32(b.data() + 520);
        m.height = readI32(b.data() + 524);
        break;
    case MessageType::Index:
        m.fileName = decodeUtf16Field(field(b, 8, 512));
        break;
    case MessageType::TagProperty:
        m.byClass = readU32(b.data() + 8) == 1;
        m.tag = decodeUtf16Field(field(b, 12, 256));
        m.property = decodeUtf16Field(field(b, 268, 256));
        m.value = decodeUtf16Field(field(b, 524, 256));
        break;
    case MessageType::TagContent:
        m.byClass = readU32(b.data() + 8) == 1;
        m.tag = decodeUtf16Field(field(b, 12, 256));
        break;
    }
    return m;
}

bool MessageReader::feed(std::span<const std::uint8_t> bytes, std::vector<HostMessage>& out) {
    if (failed()) {
        return false;
    }
    while (!bytes.empty()) {
        const std::size_t goal = pending_.size() < kHeaderSize ? kHeaderSize : expected_;
        const std::size_t take = std::min(bytes.size(), goal - pending_.size());
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (pending_.size() == kHeaderSize && goal == kHeaderSize) {
            if (!checkHeader()) {
                return false;
            }
            pending_.reserve(expected_);
        }
        if (pending_.size() >= kHeaderSize && !fixedChecked_ && pending_.size() >= fixedSize_) {
            if (!checkFixedPart()) {
                return false;
            }
        }
        if (pending_.size() >= kHeaderSize && pending_.size() == expected_) {
            HostMessage message = decode();
            if (const std::size_t offset = payloadOffset(message.type); offset > 0) {
                // The payload keeps the message's buffer: a large content is never copied.
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(offset));
                message.payload = std::move(pending_);
            }
            out.push_back(std::move(message));
            pending_ = {};
            expected_ = 0;
            fixedChecked_ = false;
        }
    }
    return true;
}

} // namespace kesh::host
