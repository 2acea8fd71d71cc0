/*
 * HalvorinKeshControl: put pages on the companion display.
 *
 * An applet calls HalvKeshInit (or HalvKeshInitWithIcon) once, then any of the
 * send functions from any thread, then HalvKeshShutdown once. Every function
 * but HalvKeshGetLastError and HalvKeshShutdown returns true when the work was
 * done (for sends: queued in full), else false with the reason in
 * HalvKeshGetLastError, one of the HalvKeshErrorCode values. Texts are only
 * read during the call.
 */
#ifndef HALVORIN_KESH_CONTROL_H
#define HALVORIN_KESH_CONTROL_H

#include <CoreFoundation/CoreFoundation.h>
#include <stdbool.h>
#include <wchar.h>

#if defined(__GNUC__)
#define HALV_KESH_EXPORT __attribute__((visibility("default")))
#else
#define HALV_KESH_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What HalvKeshGetLastError returns. The values are fixed; 3 is never used. */
typedef enum HalvKeshErrorCode {
    HalvKeshErrorNone = 0,
    /* The identifier given to Init is empty, or the icon is missing. */
    HalvKeshErrorEmptyIdentifierOrNoIcon = 1,
    /* A required pointer or text argument is null. */
    HalvKeshErrorNullArgument = 2,
    /* A send while the library is not initialised (or is being shut down). */
    HalvKeshErrorNotInitialized = 4,
    /* Init while the library is already initialised. */
    HalvKeshErrorAlreadyInitialized = 5,
    /* Init could not connect to the host. */
    HalvKeshErrorConnectFailed = 6,
    /* Init could not start its writer thread. */
    HalvKeshErrorWriterFailed = 7,
    /* A payload could not be copied into its message. */
    HalvKeshErrorCopyFailed = 8
} HalvKeshErrorCode;

/* Host events: the record's two numbers, its 256-byte argument area (valid
 * only during the call) and the context given to Init. */
typedef void (*halvKeshCallback)(int eventType, int eventValue, void* eventArg, void* context);

typedef struct halvKeshCbContext {
    halvKeshCallback callback;
    void* context;
} halvKeshCbContext;

HALV_KESH_EXPORT extern const unsigned char HalvorinKeshControlVersionString[];
HALV_KESH_EXPORT extern const double HalvorinKeshControlVersionNumber;

/* Size in bytes of the icon given to HalvKeshInitWithIcon. */
#define HALV_KESH_ICON_BYTES 82944

HALV_KESH_EXPORT bool HalvKeshInit(CFStringRef identifier, CFStringRef friendlyName,
                                   halvKeshCbContext* callbackContext);
HALV_KESH_EXPORT bool HalvKeshInitWithIcon(CFStringRef identifier, CFStringRef friendlyName,
                                           halvKeshCbContext* callbackContext, unsigned char* iconBitmap);

HALV_KESH_EXPORT bool HalvKeshAddFileAs(CFStringRef filePath, CFStringRef fileName, CFStringRef fileType);
HALV_KESH_EXPORT bool HalvKeshAddContentAs(const void* content, int size, CFStringRef fileName,
                                           CFStringRef fileType);
HALV_KESH_EXPORT bool HalvKeshAddUTF8StringAs(CFStringRef text, CFStringRef fileName, CFStringRef fileType);
HALV_KESH_EXPORT bool HalvKeshAddImageFromBitmap(unsigned char* bitmap, int width, int height,
                                                 CFStringRef fileName);
HALV_KESH_EXPORT bool HalvKeshSetIndex(CFStringRef fileName);

HALV_KESH_EXPORT bool HalvKeshSetTagPropertyById(CFStringRef tagId, CFStringRef property, CFStringRef value);
HALV_KESH_EXPORT bool HalvKeshSetTagsPropertyByClass(CFStringRef tagsClass, CFStringRef property,
                                                     CFStringRef value);
HALV_KESH_EXPORT bool HalvKeshSetTagContentById(CFStringRef tagId, CFStringRef newContent);
HALV_KESH_EXPORT bool HalvKeshSetTagsContentByClass(CFStringRef tagsClass, CFStringRef newContent);

HALV_KESH_EXPORT int HalvKeshGetLastError(void);
HALV_KESH_EXPORT void HalvKeshShutdown(void);

/* Applet settings. The pointed-to values hold the default on entry and the
 * value to use on a true result; a missing option is stored with the default.
 * Keys are "name" (group "misc") or "group/name". */
HALV_KESH_EXPORT bool HalvKeshGetConfigOptionNumber(const wchar_t* optionKey, double* optionValue);
HALV_KESH_EXPORT bool HalvKeshGetConfigOptionBool(const wchar_t* optionKey, bool* optionValue);
HALV_KESH_EXPORT bool HalvKeshGetConfigOptionColor(const wchar_t* optionKey, int* red, int* green, int* blue);
HALV_KESH_EXPORT bool HalvKeshGetConfigOptionKeyInput(const wchar_t* optionKey, wchar_t* buffer,
                                                      int bufferBytes);
HALV_KESH_EXPORT bool HalvKeshSetConfigOptionLabel(const wchar_t* optionKey, const wchar_t* labelText);

#ifdef __cplusplus
}
#endif

#endif
