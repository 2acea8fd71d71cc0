// One node of a JSON value tree, as the settings module keeps it in memory.
// Values live on the heap; arrays and objects own their children.
#ifndef HALV_JSON_VALUE_H
#define HALV_JSON_VALUE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class JSONValue;

enum JSONKind : std::uint32_t {
    JSONType_Null = 0,
    JSONType_String = 1,
    JSONType_Bool = 2,
    JSONType_Number = 3,
    JSONType_Array = 4,
    JSONType_Object = 5,
};

using JSONValueList = std::vector<JSONValue*>;
// Ordered by character codes, which is also the order members are written in.
using JSONMemberMap = std::map<std::wstring, JSONValue*>;

class JSONValue {
public:
    // Deeper documents are refused, so that hostile text cannot exhaust the
    // stack of whatever thread the applet reads its settings on.
    static constexpr int kMaxNesting = 128;

    JSONValue();
    explicit JSONValue(const wchar_t* text);
    explicit JSONValue(const std::wstring& text);
    explicit JSONValue(std::wstring&& text);
    explicit JSONValue(bool b);
    explicit JSONValue(double n);
    // Take over the pointed-to values.
    explicit JSONValue(const JSONValueList& elements);
    explicit JSONValue(const JSONMemberMap& members);
    // The same, moving the container rather than copying it.
    explicit JSONValue(JSONValueList&& elements);
    explicit JSONValue(JSONMemberMap&& members);
    ~JSONValue();

    JSONValue(const JSONValue&) = delete;
    JSONValue& operator=(const JSONValue&) = delete;

    bool IsNull() const { return kind == JSONType_Null; }
    bool IsString() const { return kind == JSONType_String; }
    bool IsBool() const { return kind == JSONType_Bool; }
    bool IsNumber() const { return kind == JSONType_Number; }
    bool IsArray() const { return kind == JSONType_Array; }
    bool IsObject() const { return kind == JSONType_Object; }

    const std::wstring& AsString() const { return stringValue; }
    // False and 0 for values of any other kind.
    bool AsBool() const { return boolValue; }
    double AsNumber() const { return numberValue; }
    const JSONValueList& AsArray() const { return arrayValue; }
    JSONValueList& AsMutableArray() { return arrayValue; }
    const JSONMemberMap& AsObject() const { return objectValue; }
    JSONMemberMap& AsMutableObject() { return objectValue; }

    std::size_t CountChildren() const;
    bool HasChild(std::size_t index) const;
    JSONValue* Child(std::size_t index);
    bool HasChild(const std::wstring& name) const;
    JSONValue* Child(const std::wstring& name);

    std::wstring Stringify(int indentStep, int depth) const;
    // The same text as bytes: the writer escapes everything but printable
    // ASCII, so each character is one byte.
    std::string StringifyToBytes(int indentStep, int depth) const;
    static std::wstring StringifyString(const std::wstring& text);
    static void AddIndent(std::wstring& text, int indentStep, int depth);

    // Parses one value at *data (whitespace already skipped) and moves the
    // cursor past it; null on bad text, with everything allocated released.
    static JSONValue* Parse(const wchar_t** data);

private:
    static JSONValue* Parse(const wchar_t** data, int nesting);
    static JSONValue* ParseNumber(const wchar_t** data);
    static JSONValue* ParseArray(const wchar_t** data, int nesting);
    static JSONValue* ParseObject(const wchar_t** data, int nesting);

    // Stringify without a text per value: everything goes into one output,
    // wide text or bytes.
    template <typename Text> void AppendTo(Text& out, int indentStep, int depth) const;

    JSONKind kind = JSONType_Null;
    std::wstring stringValue;
    bool boolValue = false;
    double numberValue = 0.0;
    JSONValueList arrayValue;
    JSONMemberMap objectValue;
};

#endif
