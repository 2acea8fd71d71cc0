#include "core/HostMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(HostMessages, RegistrationCutsTheExecutablePathTo255UnitsAndKeepsItsLastUnitZero) {
    const std::u16string path = u"/" + std::u16string(299, u'p');
    CFStringRef text =
        CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar*>(path.data()),
                                     static_cast<CFIndex>(path.size()));
    std::vector<unsigned char> message(1032, 0xee);
    EXPECT_EQ(hostmessages::buildRegistration(message.data(), CFSTR("id"), CFSTR("name"), text, nullptr),
              1032u);
    CFRelease(text);
    std::u16string field;
    for (size_t i = 520; i < 1032; i += 2)
        field += static_cast<char16_t>(message[i] | (message[i + 1] << 8));
    EXPECT_EQ(field, path.substr(0, 255) + u'\0');
}
