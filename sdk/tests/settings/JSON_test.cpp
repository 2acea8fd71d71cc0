#include "settings/JSON.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace {

using Parsed = std::unique_ptr<JSONValue>;

Parsed parse(const wchar_t* text) {
    return Parsed(JSON::Parse(text));
}
Parsed parse(const std::string& bytes) {
    return Parsed(JSON::Parse(bytes.c_str()));
}

// The number a text parses to; NaN when it does not parse as one.
double number(const wchar_t* text) {
    const Parsed value = parse(text);
    return value != nullptr && value->IsNumber() ? value->AsNumber() : std::nan("");
}

std::wstring string(const wchar_t* text) {
    const Parsed value = parse(text);
    return value != nullptr && value->IsString() ? value->AsString() : L"<no string>";
}

} // namespace

TEST(JSONParse, AcceptsExactlyOneValueAndLiteralsInAnyCase) {
    EXPECT_EQ(parse(L""), nullptr);
    EXPECT_EQ(parse(L" \t\r\n"), nullptr);
    const Parsed empty = parse(L"  {}  ");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->IsObject());
    EXPECT_EQ(empty->CountChildren(), 0u);

    for (const wchar_t* bad : {L"{} x", L"[1] [2]", L"truex", L"1 2", L"\"a\"\"b\"", L"\f1",
                               L"\x00A0"
                               L"1"})
        EXPECT_EQ(parse(bad), nullptr) << bad;
    EXPECT_EQ(JSON::Parse(static_cast<const wchar_t*>(nullptr)), nullptr);

    // Literals in any letter case.
    const Parsed literals = parse(L"[TRUE,False,nULl]");
    ASSERT_NE(literals, nullptr);
    EXPECT_TRUE(literals->Child(0)->AsBool());
    EXPECT_TRUE(literals->Child(1)->IsBool());
    EXPECT_TRUE(literals->Child(2)->IsNull());
    EXPECT_EQ(parse(L"tru"), nullptr);
}

TEST(JSONParse, NumbersAreTheNearestDoubleAndOutOfRangeGivesInfinityOrZero) {
    const double negativeZero = number(L"-0");
    EXPECT_EQ(negativeZero, 0.0);
    EXPECT_TRUE(std::signbit(negativeZero));
    EXPECT_EQ(number(L"0.5e1"), 5.0);
    EXPECT_EQ(number(L"1E+2"), 100.0);
    EXPECT_EQ(number(L"2e-1"), 2.0 / 10.0);
    EXPECT_EQ(number(L"-12.25"), -12.25);
    EXPECT_EQ(number(L"0.3"), 0.3);
    EXPECT_EQ(number(L"1.5e-300"), 1.5e-300);
    EXPECT_EQ(number(L"8.16137272905189e+288"), 8.16137272905189e+288);
    EXPECT_EQ(number(L"123456789"), 123456789.0);
    EXPECT_TRUE(std::isinf(number(L"1e400")));
    EXPECT_EQ(number(L"1e-400"), 0.0);
    EXPECT_EQ(number(L"0.000001e-330"), 0.0);
    EXPECT_TRUE(std::isinf(number(L"0.01e311")));
    EXPECT_EQ(number(L"100000e-325"), 1e-320) << "a subnormal is no underflow";
    EXPECT_EQ(number(L"0e99999999999999999999"), 0.0);
    EXPECT_TRUE(std::isinf(number(L"-1e99999999999999999999")));
    EXPECT_EQ(JSON::Stringify(parse(L"1e400").get()), L"null");

    for (const wchar_t* bad :
         {L".5", L"5.", L"1e", L"1e+", L"-", L"+1", L"007", L"-x", L"01", L"1.e5", L"--1"})
        EXPECT_TRUE(std::isnan(number(bad))) << bad;
}

TEST(JSONParse, StringEscapesGiveTheirCharacters) {
    EXPECT_EQ(string(L"\"a\\u00e9b\""), L"a\u00E9b");
    EXPECT_EQ(string(L"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\""), L"\"\\/\b\f\n\r\t");
    EXPECT_EQ(string(L"\"\\u0041\\u004a\""), L"AJ");
    EXPECT_EQ(string(L"\"tab\tkept\""), L"tab\tkept");
    EXPECT_EQ(string(L"\"a\\u0000b\""), std::wstring(L"a\0b", 3));

    for (const wchar_t* bad : {L"\"\\u12", L"\"\\u12\"", L"\"\\u12g4\"", L"\"\\x\"", L"\"line\nfeed\"",
                               L"\"unclosed", L"\"\\", L"\"\x01\""})
        EXPECT_EQ(parse(bad), nullptr) << bad;
}

TEST(JSONParse, EscapedSurrogatePairIsOneCharacter) {
    EXPECT_EQ(string(L"\"\\uD83D\\uDE00\""), L"\U0001F600");
    EXPECT_EQ(string(L"\"\\udbff\\udfffz\""), L"\U0010FFFFz");
    // Halves that do not pair stay as they are.
    EXPECT_EQ(string(L"\"\\uD83Dx\""), std::wstring({wchar_t(0xD83D), L'x'}));
    EXPECT_EQ(string(L"\"\\uD83D\\u0041\""), std::wstring({wchar_t(0xD83D), L'A'}));
    EXPECT_EQ(string(L"\"\\uDE00\\uD83D\""), std::wstring({wchar_t(0xDE00), wchar_t(0xD83D)}));
    EXPECT_EQ(parse(L"\"\\uD83D\\uDE0\""), nullptr);
}

TEST(JSONParse, ArraysAndObjectsRefuseMalformedSeparators) {
    for (const wchar_t* bad :
         {L"{k:1}", L"{\"k\" 1}", L"{\"k\":1,}", L"[1 2]", L"[1,]", L"[,1]", L"[", L"[1", L"{", L"{\"k\"",
          L"{\"k\":", L"{\"k\":1", L"{\"k\":1,", L"{,}", L"]", L"}", L"[{\"a\":[1,{\"b\":x}]}]"})
        EXPECT_EQ(parse(bad), nullptr) << bad;

    const Parsed spaced = parse(L"[ ]");
    ASSERT_NE(spaced, nullptr);
    EXPECT_EQ(spaced->CountChildren(), 0u);
    const Parsed nested = parse(L" { \"a\" : [ 1 , { } ] , \"b\" : \"x\" } ");
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->Child(L"a")->CountChildren(), 2u);
    EXPECT_EQ(nested->Child(L"b")->AsString(), L"x");
}

TEST(JSONParse, LastOfDuplicateMembersWins) {
    const Parsed object = parse(L"{\"k\":1,\"k\":[2],\"j\":0,\"k\":{\"x\":3}}");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->CountChildren(), 2u);
    EXPECT_EQ(object->Child(L"k")->Child(L"x")->AsNumber(), 3.0);
}

TEST(JSONParse, NestingDeeperThanTheLimitFailsWithoutExhaustingTheStack) {
    const auto nested = [](int levels) {
        return std::wstring(static_cast<std::size_t>(levels), L'[') +
               std::wstring(static_cast<std::size_t>(levels), L']');
    };
    EXPECT_NE(parse(nested(JSONValue::kMaxNesting).c_str()), nullptr);
    EXPECT_EQ(parse(nested(JSONValue::kMaxNesting + 1).c_str()), nullptr);
    EXPECT_EQ(parse(std::wstring(1000000, L'[').c_str()), nullptr);
    std::wstring objects;
    for (int i = 0; i < 100000; ++i)
        objects += L"{\"a\":";
    EXPECT_EQ(parse(objects.c_str()), nullptr);
}

TEST(JSONParse, BytesAreDecodedAsUtf8WhateverTheLocale) {
    // The test process runs in the "C" locale, where a multibyte conversion
    // would refuse these bytes.
    const Parsed text = parse(std::string("\"caf\xC3\xA9 \xF0\x9F\x98\x80\""));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->AsString(), L"caf\u00E9 \U0001F600");
    EXPECT_NE(parse(std::string("\xEF\xBB\xBF{}")), nullptr);

    for (const char* bad : {"\"\xC3\"", "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xF4\x90\x80\x80\"",
                            "\"\x80\"", "\"\xE2\x82\"", "\"\xFF\""})
        EXPECT_EQ(parse(std::string(bad)), nullptr) << bad;
    EXPECT_EQ(JSON::Parse(static_cast<const char*>(nullptr)), nullptr);
}

TEST(JSONParse, WrittenTextParsesBackToTheSameText) {
    const std::wstring source = L"{\"z\":[1,-0,0.1,1e21,8.16137272905189e+288,7.87200927102808e-248,0."
                                L"333333333333333,\"\\ud83d\\ude00\\t\\u00e9/"
                                L"\"],\"a\":{\"n\":null,\"b\":FALSE,\"e\":[],\"o\":{}}}";
    const Parsed first = parse(source.c_str());
    ASSERT_NE(first, nullptr);
    const std::wstring text = JSON::Stringify(first.get());
    const Parsed second = parse(text.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(JSON::Stringify(second.get()), text);
    EXPECT_EQ(second->Child(L"z")->Child(7)->AsString(), L"\U0001F600\t\u00E9/");

    // The settings file's bytes are the same text, character for character.
    EXPECT_EQ(JSON::StringifyBytes(second.get()), std::string(text.begin(), text.end()));
}
