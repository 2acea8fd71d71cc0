// A CoreFoundation string made from UTF-8 text for the length of an SDK call.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string_view>

namespace kv {

class CFText {
public:
    // Text that is not valid UTF-8 gives a null string, which the SDK refuses.
    explicit CFText(std::string_view utf8)
        : ref_(CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(utf8.data()),
                                       static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false)) {}
    ~CFText() {
        if (ref_)
            CFRelease(ref_);
    }
    CFText(const CFText&) = delete;
    CFText& operator=(const CFText&) = delete;

    operator CFStringRef() const { return ref_; }

private:
    CFStringRef ref_;
};

} // namespace kv
