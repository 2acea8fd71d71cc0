#include <CoreFoundation/CoreFoundation.h>
#include <CoreFoundation/Utf.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string toUtf8(CFStringRef s) {
    CFIndex used = 0;
    const CFIndex length = CFStringGetLength(s);
    std::vector<UInt8> bytes(
        static_cast<size_t>(CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8)));
    CFStringGetBytes(s, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, bytes.data(),
                     static_cast<CFIndex>(bytes.size()), &used);
    return std::string(bytes.begin(), bytes.begin() + used);
}

TEST(CoreFoundationString, Utf8RoundTripKeepsEveryPlane) {
    // ASCII, Latin-1, CJK and an emoji outside the basic plane.
    const std::string text = "Thrall-Aerie Peak \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x90\x89";
    CFStringRef s = CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
    ASSERT_NE(s, nullptr);
    // The emoji is one surrogate pair: 17 ASCII + 1 + 1 + 1 + 1 + 1 + 2 units.
    EXPECT_EQ(CFStringGetLength(s), 24);
    EXPECT_EQ(CFStringGetCharacterAtIndex(s, 22), 0xD83D);
    EXPECT_EQ(CFStringGetCharacterAtIndex(s, 23), 0xDC09);
    EXPECT_EQ(toUtf8(s), text);
    CFRelease(s);
}

TEST(CoreFoundationString, Utf16RoundTripThroughCharacters) {
    const std::vector<UniChar> units = {u'N', 0x00E9, 0xD83D, 0xDE00, u'!'};
    CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(), units.size());
    ASSERT_NE(s, nullptr);
    std::vector<UniChar> back(units.size());
    CFStringGetCharacters(s, CFRangeMake(0, CFStringGetLength(s)), back.data());
    EXPECT_EQ(back, units);
    EXPECT_EQ(toUtf8(s), "N\xC3\xA9\xF0\x9F\x98\x80!");
    CFRelease(s);
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

TEST(CoreFoundationString, ConversionStopsAtBufferEndOnCharacterBoundary) {
    CFStringRef s = CFSTR("a\xC3\xA9z");
    UInt8 buffer[2];
    CFIndex used = 0;
    // "a" fits, "é" (two bytes) would not: one unit converted, one byte used.
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, buffer, 2, &used), 1);
    EXPECT_EQ(used, 1);
    // Without a buffer it only counts.
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 3), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used), 3);
    EXPECT_EQ(used, 4);
}

TEST(CoreFoundationString, CStringNeedsRoomForTerminator) {
    CFStringRef s = CFSTR("abc");
    char small[3];
    char fits[4];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8));
    EXPECT_TRUE(CFStringGetCString(s, fits, sizeof fits, kCFStringEncodingUTF8));
    EXPECT_STREQ(fits, "abc");
}

TEST(CoreFoundationString, ConstantsAreSharedAndImmortal) {
    CFStringRef a = CFSTR("same");
    CFStringRef b = CFSTR("same");
    EXPECT_EQ(a, b);
    CFRelease(a);
    CFRelease(a);
    EXPECT_EQ(CFStringGetLength(b), 4);
}

TEST(CoreFoundationString, RetainAndReleaseCount) {
    CFStringRef s = CFStringCreateWithCString(kCFAllocatorDefault, "x", kCFStringEncodingUTF8);
    CFRetain(s);
    EXPECT_EQ(CFGetRetainCount(s), 2);
    CFRelease(s);
    EXPECT_EQ(CFGetRetainCount(s), 1);
    CFRelease(s);
}

} // namespace
