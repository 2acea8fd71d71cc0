#include "HostMessage.h"

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

namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string decodeUtf16Field(std::span<const std::uint8_t> field) {
    std::vector<char16_t> units;
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        const auto unit = static_cast<char16_t>(field[i] | (field[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
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
