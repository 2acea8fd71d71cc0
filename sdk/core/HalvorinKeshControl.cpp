// The exported interface of the SDK: thin calls into the server object.
#include "HalvorinKeshControl.h"

#include "HalvSDKShared.h"
#include "Helper.h"
#include "cSDKServer.h"
#include "cSingleton.h"

#include <climits>

namespace {

cSDKServer& server() {
    return cSingleton<cSDKServer>::GetInstance();
}

// A successful Init points the applet settings at the user's data folder.
bool afterInit(bool initialized) {
    if (initialized) {
        CFStringRef folder = getUserDirectory();
        HalvSetConfigFilePath(folder);
        if (folder != nullptr)
            CFRelease(folder);
    }
    return initialized;
}

} // namespace

extern "C" {

const unsigned char HalvorinKeshControlVersionString[] =
    "@(#)PROGRAM:HalvorinKeshControl  PROJECT:HalvorinKeshControl-1\n";
const double HalvorinKeshControlVersionNumber = 1.0;

HALV_KESH_EXPORT bool HalvKeshInit(CFStringRef identifier, CFStringRef friendlyName,
                                   halvKeshCbContext* callbackContext) {
    return afterInit(server().Init(identifier, friendlyName, callbackContext));
}

HALV_KESH_EXPORT bool HalvKeshInitWithIcon(CFStringRef identifier, CFStringRef friendlyName,
                                           halvKeshCbContext* callbackContext, unsigned char* iconBitmap) {
    return afterInit(server().InitWIcon(identifier, friendlyName, callbackContext, iconBitmap));
}

HALV_KESH_EXPORT bool HalvKeshAddFileAs(CFStringRef filePath, CFStringRef fileName, CFStringRef fileType) {
    return server().SendFileAs(filePath, fileName, fileType);
}

HALV_KESH_EXPORT bool HalvKeshAddContentAs(const void* content, int size, CFStringRef fileName,
                                           CFStringRef fileType) {
    return server().SendContentAs(content, size, fileName, fileType);
}

HALV_KESH_EXPORT bool HalvKeshAddUTF8StringAs(CFStringRef text, CFStringRef fileName, CFStringRef fileType) {
    if (text == nullptr || fileName == nullptr) {
        g_lastError.set(2);
        return false;
    }
    unsigned char* bytes = nullptr;
    long count = 0;
    convertStringToUtf8(text, &bytes, &count);
    // A text too large for the size argument becomes a negative size, which
    // the send refuses as a failed copy.
    const int size = count > INT_MAX ? -1 : static_cast<int>(count);
    const bool sent = server().SendContentAs(bytes, size, fileName, fileType);
    delete[] bytes;
    return sent;
}

HALV_KESH_EXPORT bool HalvKeshAddImageFromBitmap(unsigned char* bitmap, int width, int height,
                                                 CFStringRef fileName) {
    return server().SendImageAs(bitmap, width, height, fileName);
}

HALV_KESH_EXPORT bool HalvKeshSetIndex(CFStringRef fileName) {
    return server().SetIndex(fileName);
}

HALV_KESH_EXPORT bool HalvKeshSetTagPropertyById(CFStringRef tagId, CFStringRef property, CFStringRef value) {
    return server().SetTagPropertyBy(tagId, property, value, 0);
}

HALV_KESH_EXPORT bool HalvKeshSetTagsPropertyByClass(CFStringRef tagsClass, CFStringRef property,
                                                     CFStringRef value) {
    return server().SetTagPropertyBy(tagsClass, property, value, 1);
}

namespace {

bool setTagContent(CFStringRef tag, CFStringRef newContent, int byClass) {
    unsigned char* bytes = nullptr;
    long count = 0;
    if (newContent != nullptr)
        convertStringToUtf8(newContent, &bytes, &count);
    const bool sent = server().SetTagContentBy(tag, bytes, static_cast<unsigned long>(count), byClass);
    delete[] bytes;
    return sent;
}

} // namespace

HALV_KESH_EXPORT bool HalvKeshSetTagContentById(CFStringRef tagId, CFStringRef newContent) {
    return setTagContent(tagId, newContent, 0);
}

HALV_KESH_EXPORT bool HalvKeshSetTagsContentByClass(CFStringRef tagsClass, CFStringRef newContent) {
    if (tagsClass == nullptr || newContent == nullptr)
        return false;
    return setTagContent(tagsClass, newContent, 1);
}

HALV_KESH_EXPORT int HalvKeshGetLastError(void) {
    return server().GetLastError();
}

HALV_KESH_EXPORT void HalvKeshShutdown(void) {
    server().ShutDown();
}

} // extern "C"
