// The applet's option calls: each reads the settings file afresh, returns a
// stored option or adds it with the applet's default, and attaches labels.
// The exported functions in HalvorinKeshControl.h call these with kind 2.
#ifndef HALV_CONFIG_OPTIONS_H
#define HALV_CONFIG_OPTIONS_H

#include "settings/JSONValue.h"

#include <cstdint>
#include <string>

// Section kinds of the settings node.
constexpr std::uint32_t kSectionLed = 1;
constexpr std::uint32_t kSectionKesh = 2;

struct settingsColorStruct {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
};

bool PrivateHalvGetConfigOptionNumber(const wchar_t* optionKey, double* optionValue, std::uint32_t sdkKind);
bool PrivateHalvGetConfigOptionBool(const wchar_t* optionKey, bool* optionValue, std::uint32_t sdkKind);
bool PrivateHalvGetConfigOptionColor(const wchar_t* optionKey, int* red, int* green, int* blue,
                                     std::uint32_t sdkKind);
bool PrivateHalvGetConfigOptionKeyInput(const wchar_t* optionKey, wchar_t* buffer, int bufferBytes,
                                        std::uint32_t sdkKind);
bool PrivateHalvSetConfigOptionLabel(const wchar_t* optionKey, const wchar_t* labelText,
                                     std::uint32_t sdkKind);

// The first element of `list` that is an object whose "key" (and, unless
// `type` is empty, "type") equals the wanted text; a "key" or "type" that is
// not a string counts as the empty text. Null when none matches.
JSONValue* findObjectForKeyInJsonArray(const JSONValueList& list, const std::wstring& key,
                                       const std::wstring& type);

#endif
