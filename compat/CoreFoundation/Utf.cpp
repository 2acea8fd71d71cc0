#include "Utf.h"

namespace kvcf {

char32_t decodeUtf8(std::string_view bytes, std::size_t& length) {
    length = 1;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80)
        return lead;
    std::size_t count = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return kNotUtf8;
    }
    if (bytes.size() < count)
        return kNotUtf8;
    for (std::size_t i = 1; i < count; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return kNotUtf8;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kNotUtf8;
    length = count;
    return value;
}

bool isValidUtf8(std::string_view bytes) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes.size(); i += length)
        if (decodeUtf8(bytes.substr(i), length) == kNotUtf8)
            return false;
    return true;
}

std::size_t encodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

void appendUtf8(std::string& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, encodeUtf8(cp, bytes));
}

bool utf8ToUtf16(std::string_view in, std::u16string& out) {
    out.clear();
    out.reserve(in.size());
    std::size_t length = 0;
    for (std::size_t i = 0; i < in.size(); i += length) {
        char32_t cp = decodeUtf8(in.substr(i), length);
        if (cp == kNotUtf8)
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return true;
}

std::size_t decodeUtf16(std::u16string_view units, char32_t& cp) {
    const char16_t u = units[0];
    if (u >= 0xD800 && u <= 0xDBFF && units.size() > 1 && units[1] >= 0xDC00 && units[1] <= 0xDFFF) {
        cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[1]) - 0xDC00);
        return 2;
    }
    cp = (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u;
    return 1;
}

std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    for (std::size_t i = 0; i < units.size();) {
        char32_t cp = 0;
        i += decodeUtf16(units.substr(i), cp);
        appendUtf8(out, cp);
    }
    return out;
}

} // namespace kvcf
