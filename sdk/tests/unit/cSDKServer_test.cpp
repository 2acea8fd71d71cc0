#include "core/HostMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CFStringRef units(const std::u16string& text) {
    return CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar*>(text.data()),
                                        static_cast<CFIndex>(text.size()));
}

std::u16string field(const std::vector<unsigned char>& message, size_t offset, size_t count) {
    std::u16string out;
    for (size_t i = 0; i < count; ++i)
        out += static_cast<char16_t>(message[offset + 2 * i] | (message[offset + 2 * i + 1] << 8));
    return out;
}

} // namespace

TEST(SdkServerMessages, CopyToCutsAtTheLimitAndCountsWhatItCopied) {
    std::vector<unsigned char> destination(12, 0xee);
    CFStringRef text = units(u"abcdef");
    EXPECT_EQ(hostmessages::copyTo(text, destination.data(), 4), 4u);
    EXPECT_EQ(field(destination, 0, 4), u"abcd");
    EXPECT_EQ(destination[8], 0xee) << "nothing past the limit is touched";
    EXPECT_EQ(hostmessages::copyTo(text, destination.data(), 100), 6u);
    CFRelease(text);
}

TEST(SdkServerMessages, RegistrationCutsTheExecutablePathTo255Units) {
    std::vector<unsigned char> message(1032, 0);
    CFStringRef path = units(u"/" + std::u16string(299, u'p'));
    hostmessages::buildRegistration(message.data(), CFSTR("id"), CFSTR("name"), path, nullptr);
    CFRelease(path);
    EXPECT_EQ(message[0], 2);
    EXPECT_EQ(message[4] | (message[5] << 8), 1024);
    EXPECT_EQ(field(message, 520, 255), u"/" + std::u16string(254, u'p'));
    EXPECT_EQ(message[1030], 0);
    EXPECT_EQ(message[1031], 0) << "the field's last unit stays zero";
}
