#include "JSONValue.h"

#include "JSON.h"

#include <charconv>
#include <cmath>
#include <limits>

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

const wchar_t kHexDigits[] = L"0123456789ABCDEF";

void appendUnicodeEscape(std::wstring& out, unsigned unit) {
    out += L"\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHexDigits[(unit >> shift) & 0xF];
}

} // namespace

JSONValue::JSONValue() = default;

// A null text is taken as the empty text rather than read.
JSONValue::JSONValue(const wchar_t* text)
    : kind(JSONType_String), stringValue(text != nullptr ? text : L"") {}

JSONValue::JSONValue(const std::wstring& text) : kind(JSONType_String), stringValue(text) {}

JSONValue::JSONValue(bool b) : kind(JSONType_Bool), boolValue(b) {}

JSONValue::JSONValue(double n) : kind(JSONType_Number), numberValue(n) {}

JSONValue::JSONValue(const JSONValueList& elements) : kind(JSONType_Array), arrayValue(elements) {}

JSONValue::JSONValue(const JSONMemberMap& members) : kind(JSONType_Object), objectValue(members) {}

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
        return new JSONValue(text);
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
            return new JSONValue(list);
        }
        JSONValue* element = Parse(data, nesting);
        if (element == nullptr)
            break;
        list.push_back(element);
        if (!JSON::SkipWhitespace(data))
            break;
        if (**data == L']') {
            ++*data;
            return new JSONValue(list);
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
            return new JSONValue(map);
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
            return new JSONValue(map);
        }
        if (**data != L',')
            break;
        ++*data;
    }
    deleteAll(map);
    return nullptr;
}

// ---- Writing ----

std::wstring JSONValue::Stringify(int indentStep, int depth) const {
    std::wstring out;
    AppendTo(out, indentStep, depth);
    return out;
}

void JSONValue::AddIndent(std::wstring& text, int indentStep, int depth) {
    const long long blanks = static_cast<long long>(indentStep) * depth;
    if (blanks > 0)
        text.append(static_cast<std::size_t>(blanks), L' ');
}

void JSONValue::AppendTo(std::wstring& out, int indentStep, int depth) const {
    switch (kind) {
    case JSONType_Null:
        out += L"null";
        break;
    case JSONType_Bool:
        out += boolValue ? L"true" : L"false";
        break;
    case JSONType_Number:
        AppendNumber(out, numberValue);
        break;
    case JSONType_String:
        AppendEscaped(out, stringValue);
        break;
    case JSONType_Array: {
        out += L"[\n";
        std::size_t left = arrayValue.size();
        for (const JSONValue* element : arrayValue) {
            AddIndent(out, indentStep, depth);
            element->AppendTo(out, indentStep, depth + 1);
            out += --left > 0 ? L",\n" : L"\n";
        }
        AddIndent(out, indentStep, depth);
        out += L']';
        break;
    }
    case JSONType_Object: {
        out += L"{\n";
        std::size_t left = objectValue.size();
        for (const auto& [name, value] : objectValue) {
            AddIndent(out, indentStep, depth);
            AppendEscaped(out, name);
            out += L": ";
            value->AppendTo(out, indentStep, depth + 1);
            out += --left > 0 ? L",\n" : L"\n";
        }
        AddIndent(out, indentStep, depth);
        out += L'}';
        break;
    }
    }
}

void JSONValue::AppendNumber(std::wstring& out, double n) {
    if (!std::isfinite(n)) {
        out += L"null";
        return;
    }
    // The general format with precision 15, independent of the process locale.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, n, std::chars_format::general, 15);
    for (const char* p = buffer; p != result.ptr; ++p)
        out += static_cast<wchar_t>(*p);
}

std::wstring JSONValue::StringifyString(const std::wstring& text) {
    std::wstring out;
    AppendEscaped(out, text);
    return out;
}

void JSONValue::AppendEscaped(std::wstring& out, const std::wstring& text) {
    out += L'"';
    const wchar_t* const end = text.data() + text.size();
    for (const wchar_t* p = text.data(); p != end; ++p) {
        // Plain characters go in by runs, not one by one.
        const wchar_t* run = p;
        while (run != end && isPlain(*run))
            ++run;
        if (run != p) {
            out.append(p, run);
            p = run;
            if (p == end)
                break;
        }
        const wchar_t c = *p;
        const auto code = static_cast<std::uint32_t>(c);
        switch (code) {
        case 8:
            out += L"\\b";
            break;
        case 9:
            out += L"\\t";
            break;
        case 10:
            out += L"\\n";
            break;
        case 12:
            out += L"\\f";
            break;
        case 13:
            out += L"\\r";
            break;
        case '"':
        case '\\':
        case '/':
            out += L'\\';
            out += c;
            break;
        default:
            if (code >= 32 && code <= 126) {
                out += c;
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
    out += L'"';
}
