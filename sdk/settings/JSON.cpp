#include "settings/JSON.h"

#include <CoreFoundation/Utf.h>

#include <cstdint>
#include <string_view>

namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

// Reads the four hexadecimal digits of a \u escape.
bool readUnit(const wchar_t* digits, std::uint32_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int value = hexValue(digits[i]); // stops at the terminator, which is no digit
        if (value < 0)
            return false;
        unit = unit * 16 + static_cast<std::uint32_t>(value);
    }
    return true;
}

bool isHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

JSONValue* JSON::Parse(const char* text) {
    if (text == nullptr)
        return nullptr;
    std::wstring wide;
    if (!DecodeUtf8(text, wide))
        return nullptr;
    return Parse(wide.c_str());
}

JSONValue* JSON::Parse(const wchar_t* text) {
    if (text == nullptr)
        return nullptr;
    const wchar_t* cursor = text;
    if (!SkipWhitespace(&cursor))
        return nullptr;
    JSONValue* value = JSONValue::Parse(&cursor);
    if (value == nullptr)
        return nullptr;
    if (SkipWhitespace(&cursor)) {
        delete value; // trailing text of any kind
        return nullptr;
    }
    return value;
}

std::wstring JSON::Stringify(const JSONValue* value) {
    if (value == nullptr)
        return std::wstring();
    return value->Stringify(2, 0);
}

std::string JSON::StringifyBytes(const JSONValue* value) {
    if (value == nullptr)
        return std::string();
    return value->StringifyToBytes(2, 0);
}

bool JSON::SkipWhitespace(const wchar_t** data) {
    while (**data == L' ' || **data == L'\t' || **data == L'\n' || **data == L'\r')
        ++*data;
    return **data != L'\0';
}

bool JSON::ExtractString(const wchar_t** data, std::wstring& out) {
    out.clear();
    for (;;) {
        // Ordinary characters go in by runs, not one by one.
        const wchar_t* run = *data;
        while (*run != L'"' && *run != L'\\' && static_cast<std::uint32_t>(*run) >= 32 &&
               static_cast<std::uint32_t>(*run) <= 0x10FFFF)
            ++run;
        if (run != *data) {
            out.append(*data, run);
            *data = run;
        }
        const wchar_t c = **data;
        const auto code = static_cast<std::uint32_t>(c);
        if (c == L'"') {
            ++*data;
            return true;
        }
        if (c == L'\0')
            return false;
        if (c == L'\\') {
            ++*data;
            switch (**data) {
            case L'"':
            case L'\\':
            case L'/':
                out += **data;
                break;
            case L'b':
                out += L'\b';
                break;
            case L'f':
                out += L'\f';
                break;
            case L'n':
                out += L'\n';
                break;
            case L'r':
                out += L'\r';
                break;
            case L't':
                out += L'\t';
                break;
            case L'u': {
                std::uint32_t unit = 0;
                if (!readUnit(*data + 1, unit))
                    return false;
                *data += 4;
                // An escaped surrogate pair is one character above U+FFFF.
                std::uint32_t low = 0;
                if (isHighSurrogate(unit) && (*data)[1] == L'\\' && (*data)[2] == L'u' &&
                    readUnit(*data + 3, low) && isLowSurrogate(low)) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    *data += 6;
                }
                out += static_cast<wchar_t>(unit);
                break;
            }
            default:
                return false;
            }
        } else if ((code < 32 && c != L'\t') || code > 0x10FFFF) {
            // Raw control characters are refused, and so is anything that is
            // not a character at all.
            return false;
        } else {
            out += c;
        }
        ++*data;
    }
}

double JSON::ParseInt(const wchar_t** data) {
    double value = 0.0;
    while (isDigit(**data)) {
        value = value * 10.0 + (**data - L'0');
        ++*data;
    }
    return value;
}

bool JSON::DecodeUtf8(const char* text, std::wstring& out) {
    std::string_view bytes(text);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    // No text decodes to more characters than it has bytes: the characters
    // go straight into place, and the text is cut to size at the end.
    out.resize(bytes.size());
    wchar_t* next = out.data();
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) { // most of a settings file: no call for it
            *next++ = static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        const char32_t code = kvcf::decodeUtf8(bytes.substr(i), length);
        if (code == kvcf::kNotUtf8) {
            out.clear();
            return false;
        }
        *next++ = static_cast<wchar_t>(code);
        i += length;
    }
    out.resize(static_cast<std::size_t>(next - out.data()));
    return true;
}
