// Reading and writing JSON text for the settings module. Differences from
// strict JSON: literals in any letter case, a number's value out of range
// becomes infinity or zero, one 16-bit unit per \u escape except that an
// escaped surrogate pair gives one character.
#ifndef HALV_JSON_H
#define HALV_JSON_H

#include "settings/JSONValue.h"

#include <string>

class JSON {
public:
    JSON() = default;

    // Decodes the bytes as UTF-8 (whatever the process locale; a leading
    // byte-order mark is skipped), then parses them. Null when the bytes are
    // not UTF-8 or not exactly one JSON value.
    static JSONValue* Parse(const char* text);
    // Parses a whole text holding exactly one value; the caller owns it.
    static JSONValue* Parse(const wchar_t* text);
    // Step 2, depth 0; the empty text for a null pointer.
    static std::wstring Stringify(const JSONValue* value);
    // The same text as the bytes of a file (printable ASCII and line feeds).
    static std::string StringifyBytes(const JSONValue* value);

    // Steps over tab, line feed, carriage return and blank; true when a
    // character other than the terminator follows.
    static bool SkipWhitespace(const wchar_t** data);
    // Reads the rest of a quoted string, the cursor just past the quote.
    static bool ExtractString(const wchar_t** data, std::wstring& out);
    // Reads a run of decimal digits as an integer; 0 and the cursor in place
    // when there is none.
    static double ParseInt(const wchar_t** data);

    // Strict UTF-8 to wide characters: overlong forms, surrogates and codes
    // above U+10FFFF are refused. Stops at the first NUL byte.
    static bool DecodeUtf8(const char* text, std::wstring& out);
};

#endif
