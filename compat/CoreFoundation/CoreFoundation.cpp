#include "CoreFoundation.h"
#include "Utf.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <string>

struct __CFString {
    std::u16string units;
    std::atomic<CFIndex> refs{1};
    bool immortal = false;
};

namespace {

CFStringRef make(std::u16string&& units) {
    auto* s = new (std::nothrow) __CFString;
    if (s == nullptr) {
        return nullptr;
    }
    s->units = std::move(units);
    return s;
}

bool isUtf16(CFStringEncoding e) {
    return e == kCFStringEncodingUTF16 || e == kCFStringEncodingUTF16LE;
}

} // namespace

extern "C" {

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (cStr == nullptr) {
        return nullptr;
    }
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding,
                                   false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean) {
    if (numBytes < 0 || (bytes == nullptr && numBytes > 0)) {
        return nullptr;
    }
    std::u16string units;
    if (encoding == kCFStringEncodingUTF8 || encoding == kCFStringEncodingASCII) {
        std::string_view in(reinterpret_cast<const char*>(bytes), static_cast<size_t>(numBytes));
        if (!kvcf::utf8ToUtf16(in, units)) {
            return nullptr;
        }
        if (encoding == kCFStringEncodingASCII) {
            for (char16_t u : units) {
                if (u > 0x7F) {
                    return nullptr;
                }
            }
        }
    } else if (isUtf16(encoding)) {
        if (numBytes % 2 != 0) {
            return nullptr;
        }
        units.resize(static_cast<size_t>(numBytes / 2));
        for (size_t i = 0; i < units.size(); ++i) {
            units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
    } else {
        return nullptr;
    }
    return make(std::move(units));
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars) {
    if (numChars < 0 || (chars == nullptr && numChars > 0)) {
        return nullptr;
    }
    std::u16string units;
    if (numChars > 0) {
        units.assign(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(numChars));
    }
    return make(std::move(units));
}

CFIndex CFStringGetLength(CFStringRef str) {
    return str ? static_cast<CFIndex>(str->units.size()) : 0;
}

UniChar CFStringGetCharacterAtIndex(CFStringRef str, CFIndex idx) {
    if (str == nullptr || idx < 0 || static_cast<size_t>(idx) >= str->units.size()) {
        return 0;
    }
    return str->units[static_cast<size_t>(idx)];
}

void CFStringGetCharacters(CFStringRef str, CFRange range, UniChar* buffer) {
    if (str == nullptr || buffer == nullptr || range.location < 0 || range.length <= 0 ||
        static_cast<size_t>(range.location + range.length) > str->units.size()) {
        return;
    }
    std::memcpy(buffer, str->units.data() + range.location,
                static_cast<size_t>(range.length) * sizeof(UniChar));
}

const UniChar* CFStringGetCharactersPtr(CFStringRef str) {
    return str ? reinterpret_cast<const UniChar*>(str->units.c_str()) : nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    if (length < 0) {
        return kCFNotFound;
    }
    if (encoding == kCFStringEncodingUTF8) {
        return length * 3;
    }
    if (isUtf16(encoding)) {
        return length * 2;
    }
    return length;
}

CFIndex CFStringGetBytes(CFStringRef str, CFRange range, CFStringEncoding encoding, UInt8 lossByte, Boolean,
                         UInt8* buffer, CFIndex maxBufLen, CFIndex* usedBufLen) {
    CFIndex used = 0;
    CFIndex converted = 0;
    if (str != nullptr && range.location >= 0 && range.length >= 0 &&
        static_cast<size_t>(range.location + range.length) <= str->units.size()) {
        std::u16string_view units(str->units);
        units = units.substr(static_cast<size_t>(range.location), static_cast<size_t>(range.length));
        const CFIndex limit = buffer ? maxBufLen : std::numeric_limits<CFIndex>::max();
        while (static_cast<size_t>(converted) < units.size()) {
            UInt8 out[4];
            size_t take = 1;
            size_t n = 0;
            if (encoding == kCFStringEncodingUTF8 || encoding == kCFStringEncodingASCII) {
                char32_t cp = 0;
                take = kvcf::decodeUtf16(units.substr(static_cast<size_t>(converted)), cp);
                if (encoding == kCFStringEncodingASCII && cp > 0x7F) {
                    if (lossByte == 0) {
                        break;
                    }
                    out[0] = lossByte;
                    n = 1;
                } else {
                    n = kvcf::encodeUtf8(cp, reinterpret_cast<char*>(out));
                }
            } else if (isUtf16(encoding)) {
                char16_t u = units[static_cast<size_t>(converted)];
                out[0] = static_cast<UInt8>(u & 0xFF);
                out[1] = static_cast<UInt8>(u >> 8);
                n = 2;
            } else {
                break;
            }
            if (used + static_cast<CFIndex>(n) > limit) {
                break;
            }
            if (buffer != nullptr) {
                std::memcpy(buffer + used, out, n);
            }
            used += static_cast<CFIndex>(n);
            converted += static_cast<CFIndex>(take);
        }
    }
    if (usedBufLen != nullptr) {
        *usedBufLen = used;
    }
    return converted;
}

Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (str == nullptr || buffer == nullptr || bufferSize <= 0) {
        return false;
    }
    CFIndex used = 0;
    const CFIndex length = CFStringGetLength(str);
    CFIndex converted = CFStringGetBytes(str, CFRangeMake(0, length), encoding, 0, false,
                                         reinterpret_cast<UInt8*>(buffer), bufferSize - 1, &used);
    if (converted != length) {
        buffer[0] = '\0';
        return false;
    }
    buffer[used] = '\0';
    return true;
}

CFTypeRef CFRetain(CFTypeRef cf) {
    auto* s = static_cast<__CFString*>(const_cast<void*>(cf));
    if (s != nullptr && !s->immortal) {
        s->refs.fetch_add(1, std::memory_order_relaxed);
    }
    return cf;
}

void CFRelease(CFTypeRef cf) {
    auto* s = static_cast<__CFString*>(const_cast<void*>(cf));
    if (s == nullptr || s->immortal) {
        return;
    }
    if (s->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete s;
    }
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
    auto* s = static_cast<const __CFString*>(cf);
    return s ? s->refs.load(std::memory_order_relaxed) : 0;
}

CFStringRef __CFStringMakeConstantString(const char* cStr) {
    static std::mutex lock;
    static auto* constants = new std::map<std::string, __CFString*>; // lives for the whole process
    std::lock_guard<std::mutex> guard(lock);
    auto found = constants->find(cStr);
    if (found != constants->end()) {
        return found->second;
    }
    auto* s = new __CFString;
    kvcf::utf8ToUtf16(cStr, s->units);
    s->immortal = true;
    constants->emplace(cStr, s);
    return s;
}

} // extern "C"
