#include "HostMessage.h"

#include <CoreFoundation/Utf.h>

namespace kesh::host {

const char* messageTypeName(MessageType type) {
    switch (type) {
    case MessageType::Registration:
        return "registration";
    case MessageType::RegistrationWithIcon:
        return "registration with icon";
    case MessageType::File:
        return "file";
    case MessageType::Content:
        return "content";
    case MessageType::Image:
        return "image";
    case MessageType::Index:
        return "index";
    case MessageType::TagProperty:
        return "tag property";
    case MessageType::TagContent:
        return "tag content";
    }
    return "unknown";
}

std::string decodeUtf16Field(std::span<const std::uint8_t> field) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        const auto unit = static_cast<char16_t>(field[i] | (field[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    return kvcf::utf16ToUtf8(units);
}

std::string describeMessage(const HostMessage& m) {
    std::string line = messageTypeName(m.type);
    switch (m.type) {
    case MessageType::Registration:
    case MessageType::RegistrationWithIcon:
        line += " \"" + m.identifier + "\" (" + m.friendlyName + ")";
        break;
    case MessageType::File:
        line += " \"" + m.fileName + "\" from " + m.filePath;
        break;
    case MessageType::Content:
        line += " \"" + m.fileName + "\", " + std::to_string(m.payload.size()) + " bytes";
        break;
    case MessageType::Image:
        line += " \"" + m.fileName + "\", " + std::to_string(m.width) + "x" + std::to_string(m.height);
        break;
    case MessageType::Index:
        line += " \"" + m.fileName + "\"";
        break;
    case MessageType::TagProperty:
        line +=
            std::string(m.byClass ? " class " : " id ") + "\"" + m.tag + "\" " + m.property + "=" + m.value;
        break;
    case MessageType::TagContent:
        line += std::string(m.byClass ? " class " : " id ") + "\"" + m.tag + "\", " +
                std::to_string(m.payload.size()) + " bytes";
        break;
    }
    return line;
}

} // namespace kesh::host
