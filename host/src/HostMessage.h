// The messages an applet sends to the host, decoded from their wire form.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kesh::host {

enum class MessageType : std::uint32_t {
    Registration = 2,
    RegistrationWithIcon = 3,
    File = 4,
    Content = 5,
    Image = 6,
    Index = 7,
    TagProperty = 8,
    TagContent = 9,
};

// Size of the registration icon: 144 x 144 pixels, 4 bytes each.
inline constexpr std::size_t kIconBytes = 82944;
inline constexpr int kIconSide = 144;

// One decoded message. Only the fields of its type are filled; texts are UTF-8.
struct HostMessage {
    MessageType type = MessageType::Registration;
    std::string identifier;            // registration
    std::string friendlyName;          // registration
    std::string executablePath;        // registration
    std::string fileName;              // file, content, image, index
    std::string filePath;              // file
    std::string fileType;              // file, content
    std::string tag;                   // tag property, tag content
    std::string property;              // tag property
    std::string value;                 // tag property
    bool byClass = false;              // tag property, tag content
    std::int32_t width = 0;            // image
    std::int32_t height = 0;           // image
    std::vector<std::uint8_t> payload; // icon, content, image bitmap, tag content (UTF-8)
};

const char* messageTypeName(MessageType type);

// Decodes a zero-padded field of UTF-16LE units up to its first zero unit.
// Unpaired surrogates become U+FFFD so the result is always valid UTF-8.
std::string decodeUtf16Field(std::span<const std::uint8_t> field);

// One line describing a message for the verbose log.
std::string describeMessage(const HostMessage& message);

} // namespace kesh::host
