#include "settings/JSON.h"
#include "settings/JSONValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

std::wstring written(double n) {
    return JSONValue(n).Stringify(2, 0);
}

} // namespace

TEST(JSONValue, ChildLookupsAnswerOnlyForTheirOwnKind) {
    JSONValue text(L"abc");
    JSONValue number(3.0);
    JSONValue array(JSONValueList{new JSONValue(true), new JSONValue()});
    JSONValue object(JSONMemberMap{{L"k", new JSONValue(1.0)}});

    EXPECT_EQ(text.Child(5), nullptr);
    EXPECT_EQ(array.Child(L"k"), nullptr);
    EXPECT_FALSE(object.HasChild(std::size_t{0}));
    EXPECT_EQ(number.CountChildren(), 0u);

    EXPECT_EQ(array.CountChildren(), 2u);
    EXPECT_TRUE(array.HasChild(1));
    EXPECT_FALSE(array.HasChild(2));
    EXPECT_TRUE(array.Child(0)->IsBool());
    EXPECT_EQ(array.Child(2), nullptr);
    EXPECT_TRUE(object.HasChild(L"k"));
    EXPECT_FALSE(object.HasChild(L"K"));
    EXPECT_EQ(object.Child(L"k")->AsNumber(), 1.0);
}

TEST(JSONValue, BoolAndNumberOfOtherKindsAreFalseAndZero) {
    const std::unique_ptr<JSONValue> values[] = {
        std::make_unique<JSONValue>(L"7"), std::make_unique<JSONValue>(),
        std::make_unique<JSONValue>(JSONValueList{new JSONValue(true)})};
    for (const auto& value : values) {
        EXPECT_FALSE(value->AsBool());
        EXPECT_EQ(value->AsNumber(), 0.0);
    }
    EXPECT_FALSE(JSONValue(1.0).AsBool());
    EXPECT_EQ(JSONValue(static_cast<const wchar_t*>(nullptr)).AsString(), L"");
    EXPECT_EQ(JSONValue(true).AsNumber(), 0.0);
}

TEST(JSONValue, WritesOneMemberPerLineWithClosingBracketAtTheValuesOwnDepth) {
    JSONMemberMap members;
    members[L"b"] = new JSONValue(JSONMemberMap());
    members[L"a"] = new JSONValue(JSONValueList{new JSONValue(1.0), new JSONValue(true)});
    const JSONValue root(members);
    EXPECT_EQ(JSON::Stringify(&root), L"{\n\"a\": [\n  1,\n  true\n  ],\n\"b\": {\n  }\n}");

    EXPECT_EQ(JSONValue(JSONMemberMap()).Stringify(2, 0), L"{\n}");
    EXPECT_EQ(JSONValue(JSONValueList()).Stringify(2, 3), L"[\n      ]");
    // A step of 0 keeps the line feeds and drops only the indentation.
    EXPECT_EQ(root.Stringify(0, 4), L"{\n\"a\": [\n1,\ntrue\n],\n\"b\": {\n}\n}");
    EXPECT_EQ(root.Stringify(-2, 1), root.Stringify(0, 0));
    EXPECT_EQ(JSON::Stringify(nullptr), L"");
}

TEST(JSONValue, NumbersAreWrittenWithFifteenSignificantDigits) {
    EXPECT_EQ(written(5), L"5");
    EXPECT_EQ(written(0.1), L"0.1");
    EXPECT_EQ(written(255), L"255");
    EXPECT_EQ(written(1.0 / 3.0), L"0.333333333333333");
    EXPECT_EQ(written(1e21), L"1e+21");
    EXPECT_EQ(written(0.000001), L"1e-06");
    EXPECT_EQ(written(0.0001), L"0.0001");
    EXPECT_EQ(written(-0.0), L"-0");
    EXPECT_EQ(written(1234567890123456789.0), L"1.23456789012346e+18");
    EXPECT_EQ(written(123456789012345.0), L"123456789012345");
    EXPECT_EQ(written(0.1 + 0.2), L"0.3");
    EXPECT_EQ(written(-2.5e-300), L"-2.5e-300");
    EXPECT_EQ(written(std::numeric_limits<double>::infinity()), L"null");
    EXPECT_EQ(written(-std::numeric_limits<double>::infinity()), L"null");
    EXPECT_EQ(written(std::nan("")), L"null");
}

TEST(JSONValue, StringsAreWrittenAsPrintableAsciiOnly) {
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(L"\t/\x0B\u00E9")), L"\"\\t\\/\\u000B\\u00E9\"");
    EXPECT_EQ(JSONValue::StringifyString(L"\"\\\b\f\n\r"), L"\"\\\"\\\\\\b\\f\\n\\r\"");
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(L"\x7F\x1F ~", 4)), L"\"\\u007F\\u001F ~\"");
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(1, L'\0')), L"\"\\u0000\"");
    EXPECT_EQ(JSONValue::StringifyString(L"\uFFFF"), L"\"\\uFFFF\"");
}

TEST(JSONValue, CharactersAboveTheBasicPlaneAreWrittenAsSurrogatePairs) {
    EXPECT_EQ(JSONValue::StringifyString(L"\U0001F600"), L"\"\\uD83D\\uDE00\"");
    EXPECT_EQ(JSONValue::StringifyString(L"\U00010000\U0010FFFF"), L"\"\\uD800\\uDC00\\uDBFF\\uDFFF\"");
    // Codes that are no character at all cannot be kept; they are replaced.
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(1, static_cast<wchar_t>(0x110000))), L"\"\\uFFFD\"");
    EXPECT_EQ(JSONValue::StringifyString(std::wstring(1, static_cast<wchar_t>(-1))), L"\"\\uFFFD\"");
}
