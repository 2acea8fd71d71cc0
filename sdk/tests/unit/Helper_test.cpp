#include "core/Helper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>

namespace {

// Sets or clears an environment variable for one test and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string utf8(CFStringRef text) {
    std::string out(StringToUTF8(text, nullptr, 0), '\0');
    StringToUTF8(text, reinterpret_cast<unsigned char*>(out.data()), out.size());
    return out;
}

std::string userDirectory() {
    CFStringRef folder = getUserDirectory();
    if (!folder)
        return "<null>";
    std::string result = utf8(folder);
    CFRelease(folder);
    return result;
}

} // namespace

TEST(GetUserDirectory, PrefersAnAbsoluteXdgDataHomeElseFallsBackToHome) {
    ScopedEnv home("HOME", "/home/tester");
    {
        ScopedEnv data("XDG_DATA_HOME", "/tmp/data/");
        EXPECT_EQ(userDirectory(), "/tmp/data");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "");
        EXPECT_EQ(userDirectory(), "/home/tester/.local/share");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(userDirectory(), "/home/tester/.local/share");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(userDirectory(), "/home/tester/.local/share");
    }
}

TEST(StringToUtf8, CountsAndConvertsMultibyteLettersWithoutTerminator) {
    CFStringRef text =
        CFStringCreateWithCString(kCFAllocatorDefault, "a\xc3\xa9\xe2\x82\xac", kCFStringEncodingUTF8);
    EXPECT_EQ(StringToUTF8(text, nullptr, 0), 6u);
    unsigned char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 0x55);
    EXPECT_EQ(StringToUTF8(text, buffer, 6), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), "a\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(buffer[6], 0x55);
    // A small buffer takes only whole characters.
    EXPECT_EQ(StringToUTF8(text, buffer, 4), 3u);
    EXPECT_EQ(StringToUTF8(nullptr, buffer, 4), 0u);
    CFRelease(text);
}

TEST(ConvertStringToUtf8, GivesOwnedBytesAndTheirCount) {
    CFStringRef text =
        CFStringCreateWithCString(kCFAllocatorDefault, "\xf0\x9f\x98\x80x", kCFStringEncodingUTF8);
    unsigned char* bytes = nullptr;
    long count = -1;
    EXPECT_EQ(convertStringToUtf8(text, &bytes, &count), 3);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 5), "\xf0\x9f\x98\x80x");
    delete[] bytes;
    CFRelease(text);

    count = -1;
    EXPECT_EQ(convertStringToUtf8(CFSTR(""), &bytes, &count), 0);
    EXPECT_EQ(count, 0);
    delete[] bytes;
}

TEST(GetGuid, NamesAreDistinctAndCarryUserAndProcess) {
    std::set<std::string> names;
    const std::string suffix = std::to_string(getuid()) + std::to_string(getpid());
    for (int i = 0; i < 5; ++i) {
        std::string name = getGUID();
        EXPECT_EQ(name.rfind("event", 0), 0u);
        EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 5u);
}
