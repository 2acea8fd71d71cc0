#include "core/Helper.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

bool isSet(const char* value) {
    return value != nullptr && value[0] != '\0';
}

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    if (isSet(home))
        return home;
    // No HOME (a daemon, a stripped environment): ask the password database.
    passwd entry{};
    passwd* found = nullptr;
    char storage[4096];
    if (getpwuid_r(getuid(), &entry, storage, sizeof storage, &found) == 0 && found != nullptr &&
        isSet(found->pw_dir))
        return found->pw_dir;
    return {};
}

} // namespace

CFStringRef getUserDirectory() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::string folder;
    // Only absolute values count; a relative one is ignored as if unset.
    if (isSet(dataHome) && dataHome[0] == '/') {
        folder = dataHome;
    } else {
        std::string home = homeDirectory();
        if (home.empty())
            return nullptr;
        folder = home + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return CFStringCreateWithCString(kCFAllocatorDefault, folder.c_str(), kCFStringEncodingUTF8);
}

unsigned long StringToUTF8(CFStringRef text, unsigned char* buffer, unsigned long size) {
    if (text == nullptr)
        return 0;
    const CFRange whole = CFRangeMake(0, CFStringGetLength(text));
    CFIndex used = 0;
    if (buffer != nullptr && size != 0)
        CFStringGetBytes(text, whole, kCFStringEncodingUTF8, 0, false, buffer, static_cast<CFIndex>(size),
                         &used);
    else
        CFStringGetBytes(text, whole, kCFStringEncodingUTF8, 0, false, nullptr, 0, &used);
    return static_cast<unsigned long>(used);
}

long convertStringToUtf8(CFStringRef text, unsigned char** bytes, long* byteCount) {
    const CFIndex units = CFStringGetLength(text);
    const CFIndex capacity = CFStringGetMaximumSizeForEncoding(units, kCFStringEncodingUTF8);
    *bytes = new unsigned char[capacity > 0 ? capacity : 0];
    CFIndex used = 0;
    const CFIndex converted = CFStringGetBytes(text, CFRangeMake(0, units), kCFStringEncodingUTF8, 0, false,
                                               *bytes, capacity, &used);
    *byteCount = used;
    return converted;
}

std::string getGUID() {
    // Atomic although all events are made while the server is built: tests
    // create events from several threads.
    static std::atomic<int> counter{1};
    char name[1024] = {};
    std::snprintf(name, sizeof name, "event%d%d%d", counter.fetch_add(1), static_cast<int>(getuid()),
                  static_cast<int>(getpid()));
    return name;
}
