// The exported interface of the SDK: thin, guarded calls into the server
// object.
#include "HalvorinKeshControl.h"

#include "core/Guarded.h"
#include "core/Helper.h"
#include "core/cSDKServer.h"
#include "core/cSingleton.h"
#include "settings/HalvSDKShared.h"

#include <climits>

namespace {

cSDKServer& server() {
    return cSingleton<cSDKServer>::GetInstance();
}

// A successful Init points the applet settings at the user's data folder;
// running out of memory there leaves the settings where they were, and the
// Init a success.
bool afterInit(bool initialized) {
    if (initialized) {
        guarded(false, [] {
            CFStringRef folder = getUserDirectory();
            HalvSetConfigFilePath(folder);
            if (folder != nullptr)
                CFRelease(folder);
            return true;
        });
    }
    return initialized;
}

// An export that throws is a failure with `code` as the last error: Init
// could not get going, a send could not copy its payload.
template <typename Work> bool call(HalvKeshErrorCode code, Work work) {
    return guarded(false, work, [code] { g_lastError.set(code); });
}

template <typename Work> bool send(Work work) {
    return call(HalvKeshErrorCopyFailed, work);
}

// The UTF-8 bytes of a text, owned.
struct Utf8 {
    explicit Utf8(CFStringRef text) {
        if (text != nullptr)
            convertStringToUtf8(text, &bytes, &count);
    }
    ~Utf8() { delete[] bytes; }
    Utf8(const Utf8&) = delete;
    Utf8& operator=(const Utf8&) = delete;

    unsigned char* bytes = nullptr;
    long count = 0;
};

bool setTagContent(CFStringRef tag, CFStringRef newContent, int byClass) {
    const Utf8 content(newContent);
    return server().SetTagContentBy(tag, content.bytes, static_cast<unsigned long>(content.count), byClass);
}

} // namespace

extern "C" {

const unsigned char HalvorinKeshControlVersionString[] =
    "@(#)PROGRAM:HalvorinKeshControl  PROJECT:HalvorinKeshControl-1\n";
const double HalvorinKeshControlVersionNumber = 1.0;

HALV_KESH_EXPORT bool HalvKeshInit(CFStringRef identifier, CFStringRef friendlyName,
                                   halvKeshCbContext* callbackContext) {
    return call(HalvKeshErrorWriterFailed,
                [&] { return afterInit(server().Init(identifier, friendlyName, callbackContext)); });
}

HALV_KESH_EXPORT bool HalvKeshInitWithIcon(CFStringRef identifier, CFStringRef friendlyName,
                                           halvKeshCbContext* callbackContext, unsigned char* iconBitmap) {
    return call(HalvKeshErrorWriterFailed, [&] {
        return afterInit(server().InitWIcon(identifier, friendlyName, callbackContext, iconBitmap));
    });
}

HALV_KESH_EXPORT bool HalvKeshAddFileAs(CFStringRef filePath, CFStringRef fileName, CFStringRef fileType) {
    return send([&] { return server().SendFileAs(filePath, fileName, fileType); });
}

HALV_KESH_EXPORT bool HalvKeshAddContentAs(const void* content, int size, CFStringRef fileName,
                                           CFStringRef fileType) {
    return send([&] { return server().SendContentAs(content, size, fileName, fileType); });
}

HALV_KESH_EXPORT bool HalvKeshAddUTF8StringAs(CFStringRef text, CFStringRef fileName, CFStringRef fileType) {
    return send([&] {
        if (text == nullptr || fileName == nullptr) {
            g_lastError.set(HalvKeshErrorNullArgument);
            return false;
        }
        const Utf8 content(text);
        // A text too large for the size argument becomes a negative size,
        // which the send refuses as a failed copy.
        const int size = content.count > INT_MAX ? -1 : static_cast<int>(content.count);
        return server().SendContentAs(content.bytes, size, fileName, fileType);
    });
}

HALV_KESH_EXPORT bool HalvKeshAddImageFromBitmap(unsigned char* bitmap, int width, int height,
                                                 CFStringRef fileName) {
    return send([&] { return server().SendImageAs(bitmap, width, height, fileName); });
}

HALV_KESH_EXPORT bool HalvKeshSetIndex(CFStringRef fileName) {
    return send([&] { return server().SetIndex(fileName); });
}

HALV_KESH_EXPORT bool HalvKeshSetTagPropertyById(CFStringRef tagId, CFStringRef property, CFStringRef value) {
    return send([&] { return server().SetTagPropertyBy(tagId, property, value, 0); });
}

HALV_KESH_EXPORT bool HalvKeshSetTagsPropertyByClass(CFStringRef tagsClass, CFStringRef property,
                                                     CFStringRef value) {
    return send([&] { return server().SetTagPropertyBy(tagsClass, property, value, 1); });
}

HALV_KESH_EXPORT bool HalvKeshSetTagContentById(CFStringRef tagId, CFStringRef newContent) {
    return send([&] { return setTagContent(tagId, newContent, 0); });
}

HALV_KESH_EXPORT bool HalvKeshSetTagsContentByClass(CFStringRef tagsClass, CFStringRef newContent) {
    if (tagsClass == nullptr || newContent == nullptr)
        return false;
    return send([&] { return setTagContent(tagsClass, newContent, 1); });
}

HALV_KESH_EXPORT int HalvKeshGetLastError(void) {
    // A server that could not even be made has still recorded why.
    return guarded(static_cast<int>(g_lastError.get()), [] { return server().GetLastError(); });
}

HALV_KESH_EXPORT void HalvKeshShutdown(void) {
    guarded(false, [] {
        server().ShutDown();
        return true;
    });
}

} // extern "C"
