// Writes random bytes as the applet's settings file, then asks for options of
// every kind through the exported getters, twice, one of them under a random
// key. Properties: nothing crashes;
// the file is left as it was or replaced by a document that reads back;
// contents that do not read as JSON are kept as "halv.cfg.bad" before they are
// replaced; and asking again for the same options changes neither the answers
// nor the file.
#include "HalvorinKeshControl.h"
#include "TemporaryFolder.h"
#include "settings/HalvSDKShared.h"
#include "settings/JSON.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

struct Answers {
    bool results[6] = {};
    double speed = 5;
    bool sound = true;
    int red = 255, green = 128, blue = 0;
    wchar_t key[16] = L"F5";
    bool operator==(const Answers& other) const {
        for (int i = 0; i < 6; ++i) {
            if (results[i] != other.results[i])
                return false;
        }
        // NaN read from a file equals itself here: compare the bits' meaning.
        const bool sameSpeed = speed == other.speed || (speed != speed && other.speed != other.speed);
        return sameSpeed && sound == other.sound && red == other.red && green == other.green &&
               blue == other.blue && std::wstring(key) == std::wstring(other.key);
    }
};

// `key` names the number and label options; the others are fixed.
Answers askForEverything(const std::wstring& key) {
    Answers a;
    a.results[0] = HalvKeshGetConfigOptionNumber(key.c_str(), &a.speed);
    a.results[1] = HalvKeshGetConfigOptionBool(L"flags/sound", &a.sound);
    a.results[2] = HalvKeshGetConfigOptionColor(L"theme/text", &a.red, &a.green, &a.blue);
    a.results[3] = HalvKeshGetConfigOptionKeyInput(L"keys/refresh", a.key, sizeof a.key);
    a.results[4] = HalvKeshSetConfigOptionLabel(key.c_str(), L"Scroll speed");
    a.results[5] = HalvKeshSetConfigOptionLabel(L"theme", L"Theme");
    return a;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::string setUp() {
    static const kv::testsupport::TemporaryFolder base; // removed at exit
    CFStringRef folder =
        CFStringCreateWithCString(kCFAllocatorDefault, base.path().c_str(), kCFStringEncodingUTF8);
    if (!HalvSetConfigFilePath(folder))
        std::abort();
    CFRelease(folder);
    const std::string file = configFileFullPath();
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = setUp();
    const std::string kept = file + ".bad";
    std::filesystem::remove(kept);
    // Bytes after the last NUL, if any, name an option (one character each);
    // the bytes before it are the file.
    std::wstring key = L"speed";
    const auto* end = data + size;
    for (const auto* at = end; at != data; --at) {
        if (at[-1] == 0) {
            key.assign(at, end);
            size = static_cast<std::size_t>(at - 1 - data);
            break;
        }
    }
    writeAll(file, data, size);
    const std::string original(reinterpret_cast<const char*>(data), size);

    const Answers first = askForEverything(key);
    const std::string afterFirst = readAll(file);
    if (afterFirst != original) {
        const std::unique_ptr<JSONValue> document(JSON::Parse(afterFirst.c_str()));
        if (document == nullptr || afterFirst.find('\0') != std::string::npos)
            std::abort();
        const std::unique_ptr<JSONValue> before(JSON::Parse(original.c_str()));
        const bool readable = before != nullptr && original.find('\0') == std::string::npos;
        if (!original.empty() && !readable && readAll(kept) != original)
            std::abort();
    }

    const Answers second = askForEverything(key);
    if (!(second == first) || readAll(file) != afterFirst)
        std::abort();
    return 0;
}
