#include <CoreFoundation/CoreFoundation.h>
#include <CoreFoundation/Utf.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string toUtf8(CFStringRef s) {
    char bytes[64];
    return CFStringGetCString(s, bytes, sizeof bytes, kCFStringEncodingUTF8) ? bytes : "-";
}

// Text keeps every plane through UTF-8 and UTF-16: the emoji is one surrogate pair.
TEST(CoreFoundationString, RoundTripsThroughUtf8AndUtf16) {
    const std::string text = "Thrall \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x90\x89";
    CFStringRef s = CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(CFStringGetLength(s), 13);
    std::vector<UniChar> units(13);
    CFStringGetCharacters(s, CFRangeMake(0, 13), units.data());
    EXPECT_EQ(std::vector<UniChar>(units.begin() + 7, units.end()),
              (std::vector<UniChar>{0x00E9, u' ', 0x4E2D, u' ', 0xD83D, 0xDC09}));
    CFStringRef back = CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(), 13);
    EXPECT_EQ(toUtf8(back), text);
    CFRetain(s);
    CFRelease(s);
    CFRelease(s);
    CFRelease(back);
}

// Every part of the project reads UTF-8 with this one codec.
TEST(Utf8, StrayTruncatedOverlongSurrogateAndOutOfRangeSequencesAreRefused) {
    for (const char* good : {"\xED\x9F\xBF", "\xF4\x8F\xBF\xBF", "\xE4\xB8\xADx"})
        EXPECT_TRUE(kvcf::isValidUtf8(good)) << good;
    for (const char* bad : {"\x80", "\xC3", "\xE4\xB8", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xFE", "\xE4\x41\xAD", "ok\xFF"}) {
        EXPECT_FALSE(kvcf::isValidUtf8(bad)) << bad;
        EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, bad, kCFStringEncodingUTF8), nullptr) << bad;
    }
}

// Conversions stop at the buffer's end on a character boundary, and a C string needs room for its zero.
TEST(CoreFoundationString, ConversionsNeverOverrunTheirBuffer) {
    CFStringRef s = CFSTR("a\xC3\xA9z");
    UInt8 buffer[2];
    CFIndex used = 0;
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, buffer, 2, &used), 1);
    EXPECT_EQ(used, 1);
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used), 3);
    EXPECT_EQ(used, 4) << "without a buffer it only counts";
    char small[4], fits[5];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8));
    ASSERT_TRUE(CFStringGetCString(s, fits, sizeof fits, kCFStringEncodingUTF8));
    EXPECT_STREQ(fits, "a\xC3\xA9z");
    CFRelease(s); // constants are shared and outlive any release
    EXPECT_EQ(CFSTR("a\xC3\xA9z"), s);
    EXPECT_EQ(CFStringGetLength(s), 3);
}

} // namespace
