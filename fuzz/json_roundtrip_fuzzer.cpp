// Property: any text the parser accepts is written as printable ASCII that
// parses back, and parse, write, parse, write gives the same text twice.
#include "settings/JSON.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::unique_ptr<JSONValue> first(JSON::Parse(bytes.c_str()));
    if (first == nullptr)
        return 0;
    const std::wstring written = JSON::Stringify(first.get());
    for (const wchar_t c : written) {
        if (c != L'\n' && (c < 32 || c > 126))
            std::abort();
    }
    const std::unique_ptr<JSONValue> second(JSON::Parse(written.c_str()));
    if (second == nullptr || JSON::Stringify(second.get()) != written)
        std::abort();
    return 0;
}
