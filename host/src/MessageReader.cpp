#include "MessageReader.h"

#include <algorithm>
#include <iterator>

namespace kesh::host {

namespace {

// The wire form: a header (type, then the length of the rest), then fixed
// fields in order, then for some types a payload carried unchanged. Texts are
// zero-padded UTF-16LE fields of a fixed size; numbers are 32-bit little-endian.
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kNumberField = 4;
constexpr std::size_t kLongText = 512;  // file names, paths, types, the executable
constexpr std::size_t kShortText = 256; // identifier, friendly name, tag, property, value
constexpr std::size_t kRegistrationSize = kHeaderSize + 2 * kShortText + kLongText;
// Tag edits start with their selector: 0 for the element with this id, 1 for a class.
constexpr std::size_t kSelectorOffset = kHeaderSize;
constexpr std::size_t kImageSizeOffset = kHeaderSize + kLongText; // width, then height

std::uint32_t readU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::int32_t readI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readU32(p));
}

struct Layout {
    std::size_t fixedSize; // header and fixed fields
    bool variable;         // whether a payload of any length follows them
};

// Of each type from registration on; a type without a variable payload is exactly its fixed size.
constexpr Layout kLayouts[] = {
    {kRegistrationSize, false},                               // registration
    {kRegistrationSize + kIconBytes, false},                  // registration, then the icon
    {kHeaderSize + 3 * kLongText, false},                     // file: name, path, type
    {kHeaderSize + 2 * kLongText, true},                      // content: name, type
    {kImageSizeOffset + 2 * kNumberField, true},              // image: name, width, height
    {kHeaderSize + kLongText, false},                         // index: name
    {kSelectorOffset + kNumberField + 3 * kShortText, false}, // tag property: tag, property, value
    {kSelectorOffset + kNumberField + kShortText, true},      // tag content: tag
};

// nullptr for an unknown type.
const Layout* layoutOf(std::uint32_t type) {
    const std::uint32_t index = type - std::uint32_t(MessageType::Registration);
    return index < std::size(kLayouts) ? &kLayouts[index] : nullptr;
}

// Where the bytes carried unchanged (icon, content, bitmap, tag content) start; 0 for none.
std::size_t payloadOffset(MessageType type) {
    const Layout& layout = *layoutOf(std::uint32_t(type));
    return type == MessageType::RegistrationWithIcon ? kRegistrationSize
           : layout.variable                         ? layout.fixedSize
                                                     : 0;
}

// Reads a message's fixed fields in their order.
class FieldReader {
public:
    explicit FieldReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::string text(std::size_t size) {
        at_ += size;
        return decodeUtf16Field(std::span(bytes_).subspan(at_ - size, size));
    }
    std::uint32_t number() {
        at_ += kNumberField;
        return readU32(bytes_.data() + at_ - kNumberField);
    }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = kHeaderSize;
};

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
    const Layout* layout = layoutOf(type);
    if (layout == nullptr) {
        return fail("unknown message type " + std::to_string(type));
    }
    const std::size_t fixedPayload = layout->fixedSize - kHeaderSize;
    const std::string name = messageTypeName(static_cast<MessageType>(type));
    if (!layout->variable && length != fixedPayload) {
        return fail(name + " message with payload length " + std::to_string(length) + ", expected " +
                    std::to_string(fixedPayload));
    }
    if (layout->variable && length < fixedPayload) {
        return fail(name + " message with payload length " + std::to_string(length) + ", shorter than its " +
                    std::to_string(fixedPayload) + " bytes of fields");
    }
    if (layout->variable && length - fixedPayload > maxPayload_) {
        return fail(name + " message carrying " + std::to_string(length - fixedPayload) +
                    " bytes, more than the limit of " + std::to_string(maxPayload_));
    }
    expected_ = kHeaderSize + length;
    fixedSize_ = layout->fixedSize;
    fixedChecked_ = false;
    return true;
}

bool MessageReader::checkFixedPart() {
    fixedChecked_ = true;
    const auto type = static_cast<MessageType>(readU32(pending_.data()));
    if (type == MessageType::TagProperty || type == MessageType::TagContent) {
        const std::uint32_t byClass = readU32(pending_.data() + kSelectorOffset);
        if (byClass > 1) {
            return fail(std::string(messageTypeName(type)) + " message with selector kind " +
                        std::to_string(byClass) + " (0 or 1 expected)");
        }
    }
    if (type == MessageType::Image) {
        const std::int64_t width = readI32(pending_.data() + kImageSizeOffset);
        const std::int64_t height = readI32(pending_.data() + kImageSizeOffset + kNumberField);
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
    FieldReader fields(pending_);
    switch (m.type) {
    case MessageType::Registration:
    case MessageType::RegistrationWithIcon:
        m.identifier = fields.text(kShortText);
        m.friendlyName = fields.text(kShortText);
        m.executablePath = fields.text(kLongText);
        break;
    case MessageType::File:
        m.fileName = fields.text(kLongText);
        m.filePath = fields.text(kLongText);
        m.fileType = fields.text(kLongText);
        break;
    case MessageType::Content:
        m.fileName = fields.text(kLongText);
        m.fileType = fields.text(kLongText);
        break;
    case MessageType::Image:
        m.fileName = fields.text(kLongText);
        m.width = static_cast<std::int32_t>(fields.number());
        m.height = static_cast<std::int32_t>(fields.number());
        break;
    case MessageType::Index:
        m.fileName = fields.text(kLongText);
        break;
    case MessageType::TagProperty:
        m.byClass = fields.number() == 1;
        m.tag = fields.text(kShortText);
        m.property = fields.text(kShortText);
        m.value = fields.text(kShortText);
        break;
    case MessageType::TagContent:
        m.byClass = fields.number() == 1;
        m.tag = fields.text(kShortText);
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
