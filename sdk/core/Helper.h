// Small shared routines of the SDK: where the user's data lives, text to UTF-8
// conversions and the names of the library's semaphores.
#ifndef HALV_HELPER_H
#define HALV_HELPER_H

#include <CoreFoundation/CoreFoundation.h>

#include <string>

// The user's per-application data folder: $XDG_DATA_HOME, else
// $HOME/.local/share. A new string that the caller releases, or null when
// neither is known.
CFStringRef getUserDirectory();

// Number of UTF-8 bytes of `text`; with a buffer and a non-zero size, converts
// into it (at most `size` bytes, no terminator) and returns the bytes written.
// A null text gives 0.
unsigned long StringToUTF8(CFStringRef text, unsigned char* buffer, unsigned long size);

// Converts a non-null `text` to UTF-8 in a new array (the caller frees it with
// delete[]) and stores the byte count. No byte-order mark, no terminator.
// Returns the number of UTF-16 units converted.
long convertStringToUtf8(CFStringRef text, unsigned char** bytes, long* byteCount);

// A fresh semaphore name, "event<counter><uid><pid>", for this process.
std::string getGUID();

#endif
