// The small part of the CoreFoundation string interface that the SDK and the
// application use, for platforms without the real framework. Strings are
// immutable, reference counted and hold UTF-16 code units.
#ifndef KV_COMPAT_COREFOUNDATION_H
#define KV_COMPAT_COREFOUNDATION_H

#include <stdbool.h>
#include <stdint.h>

#if defined(__GNUC__)
#define CF_EXPORT __attribute__((visibility("default")))
#else
#define CF_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef long CFIndex;
typedef unsigned char UInt8;
typedef uint16_t UniChar;
typedef uint32_t CFStringEncoding;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef bool Boolean;

typedef struct {
    CFIndex location;
    CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
    CFRange r = {location, length};
    return r;
}

enum {
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingUTF16 = 0x0100,
    kCFStringEncodingUTF16LE = 0x14000100,
};

enum { kCFNotFound = -1 };

#define kCFAllocatorDefault ((CFAllocatorRef)0)

// Creates a string from NUL-terminated bytes in the given encoding (UTF-8 or
// ASCII). Invalid bytes give NULL.
CF_EXPORT CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                                CFStringEncoding encoding);
// Creates a string from numBytes bytes; UTF-8, ASCII or UTF-16 (host order, or
// little-endian). Invalid bytes give NULL.
CF_EXPORT CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                              CFStringEncoding encoding, Boolean isExternalRepresentation);
CF_EXPORT CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                                   CFIndex numChars);

// Length in UTF-16 code units.
CF_EXPORT CFIndex CFStringGetLength(CFStringRef str);
CF_EXPORT UniChar CFStringGetCharacterAtIndex(CFStringRef str, CFIndex idx);
CF_EXPORT void CFStringGetCharacters(CFStringRef str, CFRange range, UniChar* buffer);
// Read-only pointer to the string's UTF-16 units, valid while the string lives.
CF_EXPORT const UniChar* CFStringGetCharactersPtr(CFStringRef str);

// The largest number of bytes that `length` UTF-16 units can need.
CF_EXPORT CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
// Converts the units of `range` into `buffer` (at most maxBufLen bytes; a NULL
// buffer only counts). Returns the number of UTF-16 units converted and the
// bytes used in *usedBufLen. Characters that cannot be encoded become lossByte,
// or end the conversion when lossByte is 0. No byte-order mark, no terminator.
CF_EXPORT CFIndex CFStringGetBytes(CFStringRef str, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                                   Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufLen,
                                   CFIndex* usedBufLen);
// Writes the string and a terminator into buffer; false when it does not fit.
CF_EXPORT Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize,
                                     CFStringEncoding encoding);

CF_EXPORT CFTypeRef CFRetain(CFTypeRef cf);
CF_EXPORT void CFRelease(CFTypeRef cf);
CF_EXPORT CFIndex CFGetRetainCount(CFTypeRef cf);

// Backs CFSTR: one immortal string per distinct literal.
CF_EXPORT CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")

#ifdef __cplusplus
}
#endif

#endif
