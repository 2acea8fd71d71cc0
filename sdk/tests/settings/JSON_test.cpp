#include "settings/JSON.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// The written text of what the bytes parse to; "-" when they do not parse.
std::string reparsed(const std::string& bytes) {
    const std::unique_ptr<JSONValue> value(JSON::Parse(bytes.c_str()));
    return value ? JSON::StringifyBytes(value.get()) : "-";
}

} // namespace

TEST(JSONParse, AcceptsOneValueAndGivesItsCharactersAndNearestNumbers) {
    const std::pair<std::string, std::string> cases[] = {
        {" {} ", "{\n}"},
        {"[TRUE,False,nULl]", "[\ntrue,\nfalse,\nnull\n]"},
        {R"({"k":1,"k":[2],"j":0,"k":3})", "{\n\"j\": 0,\n\"k\": 3\n}"},
        {"-0", "-0"},
        {"0.5e1", "5"},
        {"1E+2", "100"},
        {"0.3", "0.3"},
        {"8.16137272905189e+288", "8.16137272905189e+288"},
        {"1e400", "null"}, // infinity
        {"1e-400", "0"},
        {"100000e-325", "9.99988867182683e-321"}, // a subnormal, no underflow
        {R"("\"\\\/\b\f\n\r\t\u0041")", R"("\"\\\/\b\f\n\r\tA")"},
        {R"("\uD83D\uDE00 \uDE00\uD83D")", R"("\uD83D\uDE00 \uDE00\uD83D")"},
        {"\"caf\xC3\xA9 \xF0\x9F\x98\x80\"", R"("caf\u00E9 \uD83D\uDE00")"}, // UTF-8, whatever the locale
        {"\xEF\xBB\xBF[]", "[\n]"},
    };
    for (const auto& [text, written] : cases)
        EXPECT_EQ(reparsed(text), written) << text;
    EXPECT_NE(reparsed(std::string(128, '[') + std::string(128, ']')), "-") << "nesting up to the limit";
}

TEST(JSONValue, WritesOnlyPrintableAsciiAndNoNaN) {
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(L"\x7F\0", 2)), L"\"\\u007F\\u0000\"");
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(1, static_cast<wchar_t>(0x110000))), L"\"\\uFFFD\"");
    EXPECT_EQ(JSONValue(std::nan("")).Stringify(2, 0), L"null");
}

TEST(JSONParse, RefusesAnythingElse) {
    // Texts separated by '|', the first one empty.
    const char* const syntax =
        "|{} x|1 2|tru|.5|5.|1e|-|+1|007|1.e5|[1,]|[,1]|[1 2]|]|{k:1}|{\"k\":1,}|{\"k\" 1}|\"unclosed";
    const char* const strings = "\"\\u12\"|\"\\x\"|\"line\nfeed\"|\"\xC3\"|\"\xC0\xAF\"|\"\xED\xA0\x80\"|"
                                "\"\xF4\x90\x80\x80\"|\"\xFF\"";
    std::vector<std::string> bad{std::string(129, '[') + std::string(129, ']'), std::string(1000000, '[')};
    for (const std::string list : {syntax, strings})
        for (size_t from = 0, to; from <= list.size(); from = to + 1)
            bad.push_back(list.substr(from, (to = std::min(list.find('|', from), list.size())) - from));
    for (const std::string& text : bad)
        EXPECT_EQ(reparsed(text), "-") << text.substr(0, 40);
}
