#include "settings/JSONValue.h"

#include "settings/JSON.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <type_traits>
#include <utility>

namespace {

// ASCII letters only, so that no locale can make another character match.
wchar_t asciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

bool startsWithNoCase(const wchar_t* text, const wchar_t* word) {
    for (; *word != L'\0'; ++text, ++word) {
        if (asciiLower(*text) != *word)
            return false;
    }
    return true;
}

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

void deleteAll(JSONValueList& list) {
    for (JSONValue* value : list)
        delete value;
    list.clear();
}

void deleteAll(JSONMemberMap& map) {
    for (auto& member : map)
        delete member.second;
    map.clear();
}

// Printable ASCII that is written as itself.
bool isPlain(wchar_t c) {
    return c >= 32 && c <= 126 && c != L'"' && c != L'\\' && c != L'/';
}

} // namespace

JSONValue::JSONValue() = default;

// A null text is taken as the empty text rather than read.
JSONValue::JSONValue(const wchar_t* text)
    : kind(JSONType_String), stringValue(text != nullptr ? text : L"") {}

JSONValue::JSONValue(const std::wstring& text) : kind(JSONType_String), stringValue(text) {}

JSONValue::JSONValue(std::wstring&& text) : kind(JSONType_String), stringValue(std::move(text)) {}

JSONValue::JSONValue(bool b) : kind(JSONType_Bool), boolValue(b) {}

JSONValue::JSONValue(double n) : kind(JSONType_Number), numberValue(n) {}

JSONValue::JSONValue(const JSONValueList& elements) : kind(JSONType_Array), arrayValue(elements) {}

JSONValue::JSONValue(const JSONMemberMap& members) : kind(JSONType_Object), objectValue(members) {}

JSONValue::JSONValue(JSONValueList&& elements) : kind(JSONType_Array), arrayValue(std::move(elements)) {}

JSONValue::JSONValue(JSONMemberMap&& members) : kind(JSONType_Object), objectValue(std::move(members)) {}

JSONValue::~JSONValue() {
    deleteAll(arrayValue);
    deleteAll(objectValue);
}

std::size_t JSONValue::CountChildren() const {
    if (IsObject())
        return objectValue.size();
    if (IsArray())
        return arrayValue.size();
    return 0;
}

bool JSONValue::HasChild(std::size_t index) const {
    return IsArray() && index < arrayValue.size();
}

JSONValue* JSONValue::Child(std::size_t index) {
    return HasChild(index) ? arrayValue[index] : nullptr;
}

bool JSONValue::HasChild(const std::wstring& name) const {
    return IsObject() && objectValue.find(name) != objectValue.end();
}

JSONValue* JSONValue::Child(const std::wstring& name) {
    if (!IsObject())
        return nullptr;
    auto found = objectValue.find(name);
    return found == objectValue.end() ? nullptr : found->second;
}

// ---- Parsing ----

JSONValue* JSONValue::Parse(const wchar_t** data) {
    return Parse(data, 0);
}

JSONValue* JSONValue::Parse(const wchar_t** data, int nesting) {
    const wchar_t c = **data;
    if (c == L'"') {
        ++*data;
        std::wstring text;
        if (!JSON::ExtractString(data, text))
            return nullptr;
        return new JSONValue(std::move(text));
    }
    if (startsWithNoCase(*data, L"true")) {
        *data += 4;
        return new JSONValue(true);
    }
    if (startsWithNoCase(*data, L"false")) {
        *data += 5;
        return new JSONValue(false);
    }
    if (startsWithNoCase(*data, L"null")) {
        *data += 4;
        return new JSONValue();
    }
    if (c == L'-' || isDigit(c))
        return ParseNumber(data);
    if (c == L'[' || c == L'{') {
        if (nesting >= kMaxNesting)
            return nullptr;
        return c == L'[' ? ParseArray(data, nesting + 1) : ParseObject(data, nesting + 1);
    }
    return nullptr;
}

JSONValue* JSONValue::ParseNumber(const wchar_t** data) {
    const wchar_t* const start = *data;
    const bool negative = **data == L'-';
    if (negative)
        ++*data;

    // The decimal position of the first significant digit, which tells an
    // overflow from an underflow when the value is out of range.
    double magnitude = 0;
    if (**data == L'0') {
        ++*data;
    } else if (**data >= L'1' && **data <= L'9') {
        const wchar_t* const digits = *data;
        JSON::ParseInt(data);
        magnitude = static_cast<double>(*data - digits);
    } else {
        return nullptr;
    }

    if (**data == L'.') {
        ++*data;
        if (!isDigit(**data))
            return nullptr;
        const wchar_t* const fraction = *data;
        while (isDigit(**data))
            ++*data;
        if (magnitude == 0) {
            const wchar_t* firstSignificant = fraction;
            while (*firstSignificant == L'0')
                ++firstSignificant;
            magnitude = -static_cast<double>(firstSignificant - fraction);
        }
    }

    if (**data == L'e' || **data == L'E') {
        ++*data;
        const bool negativeExponent = **data == L'-';
        if (**data == L'+' || **data == L'-')
            ++*data;
        if (!isDigit(**data))
            return nullptr;
        const double exponent = JSON::ParseInt(data);
        magnitude += negativeExponent ? -exponent : exponent;
    }

    // The value is the nearest double to the decimal text, so that every
    // number this writer produces reads back as the same text. The text is
    // plain ASCII by now.
    const std::size_t length = static_cast<std::size_t>(*data - start);
    std::string text(length, '0');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(start[i]);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + length, value);
    if (result.ec == std::errc::result_out_of_range) {
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        if (negative)
            value = -value;
    }
    return new JSONValue(value);
}

JSONValue* JSONValue::ParseArray(const wchar_t** data, int nesting) {
    JSONValueList list;
    for (;;) {
        ++*data; // the '[' or the ','
        if (**data == L'\0' || !JSON::SkipWhitespace(data))
            break;
        if (list.empty() && **data == L']') {
            ++*data;
            return new JSONValue(std::move(list));
        }
        JSONValue* element = Parse(data, nesting);
        if (element == nullptr)
            break;
        list.push_back(element);
        if (!JSON::SkipWhitespace(data))
            break;
        if (**data == L']') {
            ++*data;
            return new JSONValue(std::move(list));
        }
        if (**data != L',')
            break;
    }
    deleteAll(list);
    return nullptr;
}

JSONValue* JSONValue::ParseObject(const wchar_t** data, int nesting) {
    JSONMemberMap map;
    ++*data; // the '{'
    for (;;) {
        if (**data == L'\0' || !JSON::SkipWhitespace(data))
            break;
        if (map.empty() && **data == L'}') {
            ++*data;
            return new JSONValue(std::move(map));
        }
        if (**data != L'"')
            break;
        ++*data;
        std::wstring name;
        if (!JSON::ExtractString(data, name))
            break;
        if (!JSON::SkipWhitespace(data) || **data != L':')
            break;
        ++*data;
        if (!JSON::SkipWhitespace(data))
            break;
        JSONValue* value = Parse(data, nesting);
        if (value == nullptr)
            break;
        // The last of several members with one name wins.
        auto [slot, inserted] = map.try_emplace(std::move(name), value);
        if (!inserted) {
            delete slot->second;
            slot->second = value;
        }
        if (!JSON::SkipWhitespace(data))
            break;
        if (**data == L'}') {
            ++*data;
            return new JSONValue(std::move(map));
        }
        if (**data != L',')
            break;
        ++*data;
    }
    deleteAll(map);
    return nullptr;
}

// ---- Writing ----
//
// One writer for both outputs: wide text, and the bytes of the settings file
// (everything it writes is printable ASCII or a line feed, so each character
// is one byte and no conversion pass is needed).

namespace {

template <typename Text> void appendAscii(Text& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

template <typename Text> void appendPlainRun(Text& out, const wchar_t* from, const wchar_t* to) {
    if constexpr (std::is_same_v<Text, std::wstring>) {
        out.append(from, to);
    } else {
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(to - from));
        char* next = out.data() + start;
        for (const wchar_t* p = from; p != to; ++p)
            *next++ = static_cast<char>(*p); // printable ASCII only
    }
}

template <typename Text> void appendUnicodeEscape(Text& out, unsigned unit) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    const char escape[6] = {'\\',
                            'u',
                            kHexDigits[(unit >> 12) & 0xF],
                            kHexDigits[(unit >> 8) & 0xF],
                            kHexDigits[(unit >> 4) & 0xF],
                            kHexDigits[unit & 0xF]};
    out.append(escape, escape + 6);
}

template <typename Text> void appendIndent(Text& out, int indentStep, int depth) {
    const long long blanks = static_cast<long long>(indentStep) * depth;
    if (blanks > 0)
        out.append(static_cast<std::size_t>(blanks), ' ');
}

template <typename Text> void appendNumber(Text& out, double n) {
    if (!std::isfinite(n)) {
        appendAscii(out, "null");
        return;
    }
    // The general format with precision 15, independent of the process locale.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, n, std::chars_format::general, 15);
    out.append(buffer, result.ptr);
}

template <typename Text> void appendEscaped(Text& out, const std::wstring& text) {
    out += '"';
    const wchar_t* const end = text.data() + text.size();
    for (const wchar_t* p = text.data(); p != end; ++p) {
        // Plain characters go in by runs, not one by one.
        const wchar_t* run = p;
        while (run != end && isPlain(*run))
            ++run;
        if (run != p) {
            appendPlainRun(out, p, run);
            p = run;
            if (p == end)
                break;
        }
        const wchar_t c = *p;
        const auto code = static_cast<std::uint32_t>(c);
        switch (code) {
        case 8:
            appendAscii(out, "\\b");
            break;
        case 9:
            appendAscii(out, "\\t");
            break;
        case 10:
            appendAscii(out, "\\n");
            break;
        case 12:
            appendAscii(out, "\\f");
            break;
        case 13:
            appendAscii(out, "\\r");
            break;
        case '"':
        case '\\':
        case '/':
            out += '\\';
            out += static_cast<char>(code);
            break;
        default:
            if (code >= 32 && code <= 126) {
                out += static_cast<char>(code);
            } else if (code <= 0xFFFF) {
                appendUnicodeEscape(out, code);
            } else if (code <= 0x10FFFF) {
                // A surrogate pair, which the parser joins back into one character.
                const std::uint32_t offset = code - 0x10000;
                appendUnicodeEscape(out, 0xD800 + (offset >> 10));
                appendUnicodeEscape(out, 0xDC00 + (offset & 0x3FF));
            } else {
                // Not a character at all: the replacement character stands in.
                appendUnicodeEscape(out, 0xFFFD);
            }
        }
    }
    out += '"';
}

} // namespace

std::wstring JSONValue::Stringify(int indentStep, int depth) const {
    std::wstring out;
    AppendTo(out, indentStep, depth);
    return out;
}

std::string JSONValue::StringifyToBytes(int indentStep, int depth) const {
    std::string out;
    AppendTo(out, indentStep, depth);
    return out;
}

void JSONValue::AddIndent(std::wstring& text, int indentStep, int depth) {
    appendIndent(text, indentStep, depth);
}

template <typename Text> void JSONValue::AppendTo(Text& out, int indentStep, int depth) const {
    switch (kind) {
    case JSONType_Null:
        appendAscii(out, "null");
        break;
    case JSONType_Bool:
        appendAscii(out, boolValue ? "true" : "false");
        break;
    case JSONType_Number:
        appendNumber(out, numberValue);
        break;
    case JSONType_String:
        appendEscaped(out, stringValue);
        break;
    case JSONType_Array: {
        appendAscii(out, "[\n");
        std::size_t left = arrayValue.size();
        for (const JSONValue* element : arrayValue) {
            appendIndent(out, indentStep, depth);
            element->AppendTo(out, indentStep, depth + 1);
            appendAscii(out, --left > 0 ? ",\n" : "\n");
        }
        appendIndent(out, indentStep, depth);
        out += ']';
        break;
    }
    case JSONType_Object: {
        appendAscii(out, "{\n");
        std::size_t left = objectValue.size();
        for (const auto& [name, value] : objectValue) {
            appendIndent(out, indentStep, depth);
            appendEscaped(out, name);
            appendAscii(out, ": ");
            value->AppendTo(out, indentStep, depth + 1);
            appendAscii(out, --left > 0 ? ",\n" : "\n");
        }
        appendIndent(out, indentStep, depth);
        out += '}';
        break;
    }
    }
}

std::wstring JSONValue::StringifyString(const std::wstring& text) {
    std::wstring out;
    appendEscaped(out, text);
    return out;
}
