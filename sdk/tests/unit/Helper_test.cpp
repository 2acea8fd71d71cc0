#include "core/Helper.h"

#include <gtest/gtest.h>

TEST(GetUserDirectory, IsAnAbsoluteXdgDataHomeElseTheHomeDataFolder) {
    const char* data = getenv("XDG_DATA_HOME");
    const std::string savedData = data ? data : "", savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", "/home/tester", 1);
    for (const auto& [value, expected] : {std::pair<const char*, const char*>{"/tmp/data/", "/tmp/data"},
                                          {"", "/home/tester/.local/share"},
                                          {"relative", "/home/tester/.local/share"}}) {
        setenv("XDG_DATA_HOME", value, 1);
        CFStringRef folder = getUserDirectory();
        std::string path(StringToUTF8(folder, nullptr, 0), '\0');
        StringToUTF8(folder, reinterpret_cast<unsigned char*>(path.data()), path.size());
        CFRelease(folder);
        EXPECT_EQ(path, expected) << value;
    }
    setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}
