// The layouts of the messages the library sends. Each builder fills the fixed
// part of its message at `message` (zeroing it first) and returns its size;
// the payload, if the message has one, is queued behind it.
#ifndef HALV_HOST_MESSAGES_H
#define HALV_HOST_MESSAGES_H

#include <CoreFoundation/CoreFoundation.h>

namespace hostmessages {

// Copies at most maxUnits UTF-16 units of `text` into `destination` as
// little-endian units; returns the number copied.
unsigned long copyTo(CFStringRef text, unsigned char* destination, unsigned long maxUnits);

// Registration, with the icon's bytes after it when `iconBitmap` is given.
unsigned long buildRegistration(unsigned char* message, CFStringRef identifier, CFStringRef friendlyName,
                                CFStringRef executablePath, const unsigned char* iconBitmap);
unsigned long buildFile(unsigned char* message, CFStringRef filePath, CFStringRef fileName,
                        CFStringRef fileType);
unsigned long buildContent(unsigned char* message, unsigned long payloadSize, CFStringRef fileName,
                           CFStringRef fileType);
unsigned long buildImage(unsigned char* message, int width, int height, unsigned long payloadSize,
                         CFStringRef fileName);
unsigned long buildIndex(unsigned char* message, CFStringRef fileName);
unsigned long buildTagProperty(unsigned char* message, int byClass, CFStringRef tag, CFStringRef property,
                               CFStringRef value);
unsigned long buildTagContent(unsigned char* message, int byClass, unsigned long payloadSize,
                              CFStringRef tag);

} // namespace hostmessages

#endif
