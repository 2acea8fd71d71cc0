#include "core/HostMessages.h"

#include "core/HostProtocol.h"
#include "core/memcpy_s.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace hostmessages {
namespace {

void putLittleEndian32(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

// Zeroes the fixed part and writes the header; the payload length field
// counts the fixed part after the header and the payload.
unsigned long start(unsigned char* message, protocol::MessageType type, unsigned long fixedSize,
                    unsigned long payloadSize = 0) {
    std::memset(message, 0, fixedSize);
    putLittleEndian32(message + protocol::kTypeOffset, type);
    putLittleEndian32(message + protocol::kPayloadLengthOffset,
                      static_cast<uint32_t>(fixedSize - protocol::kHeaderSize + payloadSize));
    return fixedSize;
}

void put(unsigned char* message, protocol::TextField field, CFStringRef text) {
    copyTo(text, message + field.offset, field.units);
}

} // namespace

unsigned long copyTo(CFStringRef text, unsigned char* destination, unsigned long maxUnits) {
    const unsigned long units = std::min(static_cast<unsigned long>(CFStringGetLength(text)), maxUnits);
    for (unsigned long i = 0; i < units; ++i) {
        const UniChar unit = CFStringGetCharacterAtIndex(text, static_cast<CFIndex>(i));
        destination[2 * i] = static_cast<unsigned char>(unit);
        destination[2 * i + 1] = static_cast<unsigned char>(unit >> 8);
    }
    return units;
}

unsigned long buildRegistration(unsigned char* message, CFStringRef identifier, CFStringRef friendlyName,
                                CFStringRef executablePath, const unsigned char* iconBitmap) {
    using namespace protocol::registration;
    const unsigned long size = iconBitmap ? start(message, protocol::kRegistrationWithIcon, kSizeWithIcon)
                                          : start(message, protocol::kRegistration, kSize);
    put(message, kIdentifier, identifier);
    put(message, kFriendlyName, friendlyName);
    put(message, kExecutablePath, executablePath);
    if (iconBitmap)
        memcpy_s(message + kSize, kIconBytes, iconBitmap, kIconBytes);
    return size;
}

unsigned long buildFile(unsigned char* message, CFStringRef filePath, CFStringRef fileName,
                        CFStringRef fileType) {
    using namespace protocol::file;
    start(message, protocol::kFile, kSize);
    put(message, kFileName, fileName);
    put(message, kFilePath, filePath);
    put(message, kFileType, fileType);
    return kSize;
}

unsigned long buildContent(unsigned char* message, unsigned long payloadSize, CFStringRef fileName,
                           CFStringRef fileType) {
    using namespace protocol::content;
    start(message, protocol::kContent, kFixedSize, payloadSize);
    put(message, kFileName, fileName);
    put(message, kFileType, fileType);
    return kFixedSize;
}

unsigned long buildImage(unsigned char* message, int width, int height, unsigned long payloadSize,
                         CFStringRef fileName) {
    using namespace protocol::image;
    start(message, protocol::kImage, kFixedSize, payloadSize);
    put(message, kFileName, fileName);
    putLittleEndian32(message + kWidthOffset, static_cast<uint32_t>(width));
    putLittleEndian32(message + kHeightOffset, static_cast<uint32_t>(height));
    return kFixedSize;
}

unsigned long buildIndex(unsigned char* message, CFStringRef fileName) {
    start(message, protocol::kIndex, protocol::index::kSize);
    put(message, protocol::index::kFileName, fileName);
    return protocol::index::kSize;
}

unsigned long buildTagProperty(unsigned char* message, int byClass, CFStringRef tag, CFStringRef property,
                               CFStringRef value) {
    using namespace protocol::tagProperty;
    start(message, protocol::kTagProperty, kSize);
    putLittleEndian32(message + protocol::kByClassOffset, static_cast<uint32_t>(byClass));
    put(message, protocol::kTag, tag);
    put(message, kProperty, property);
    put(message, kValue, value);
    return kSize;
}

unsigned long buildTagContent(unsigned char* message, int byClass, unsigned long payloadSize,
                              CFStringRef tag) {
    using protocol::tagContent::kFixedSize;
    start(message, protocol::kTagContent, kFixedSize, payloadSize);
    putLittleEndian32(message + protocol::kByClassOffset, static_cast<uint32_t>(byClass));
    put(message, protocol::kTag, tag);
    return kFixedSize;
}

} // namespace hostmessages
