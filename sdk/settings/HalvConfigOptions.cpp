#include "settings/HalvConfigOptions.h"

#include "HalvorinKeshControl.h"
#include "core/Guarded.h"
#include "settings/HalvSDKShared.h"

#include <cmath>
#include <cwchar>
#include <limits>
#include <mutex>

namespace {

const wchar_t kDefaultGroup[] = L"misc";
const wchar_t kGroupType[] = L"group";
// Labels given as "group/option" are cut to this many characters.
constexpr std::size_t kMaxQualifiedLabel = 128;

enum class Lookup { Found, Added, Failed };

struct ItemResult {
    Lookup outcome;
    const JSONValue* option; // the stored option when found
};

const JSONValue* memberOf(const JSONValue* object, const wchar_t* name) {
    if (object == nullptr || !object->IsObject())
        return nullptr;
    const auto found = object->AsObject().find(name);
    return found == object->AsObject().end() ? nullptr : found->second;
}

struct OptionKey {
    std::wstring group;
    std::wstring option;
};

const wchar_t* sectionName(std::uint32_t sdkKind) {
    switch (sdkKind) {
    case kSectionKesh:
        return L"kesh";
    case kSectionLed:
        return L"led";
    default:
        return nullptr;
    }
}

bool hasAtMostTwoSlashes(const wchar_t* key) {
    int slashes = 0;
    for (const wchar_t* p = key; *p != L'\0'; ++p)
        slashes += *p == L'/';
    return slashes <= 2;
}

OptionKey splitKey(const wchar_t* key) {
    const wchar_t* slash = std::wcschr(key, L'/');
    if (slash == nullptr)
        return {kDefaultGroup, key};
    return {std::wstring(key, slash), std::wstring(slash + 1)};
}

const std::wstring& textOf(const JSONValue* value) {
    static const std::wstring empty;
    return value != nullptr && value->IsString() ? value->AsString() : empty;
}

// Sets or replaces the member `name` of `object`, deleting what was there.
void setMember(JSONValue& object, const wchar_t* name, JSONValue* value) {
    JSONValue*& slot = object.AsMutableObject()[name];
    delete slot;
    slot = value;
}

JSONValue* newEntry(const std::wstring& key, const wchar_t* type, JSONValue* value) {
    JSONMemberMap members;
    members[L"key"] = new JSONValue(key);
    members[L"type"] = new JSONValue(type);
    members[L"value"] = value;
    return new JSONValue(members);
}

// The option list of the group, or null when the stored group has no array
// "value" to keep options in.
JSONValueList* optionListOf(JSONValue* group) {
    JSONValue* options = group->Child(L"value");
    return options != nullptr && options->IsArray() ? &options->AsMutableArray() : nullptr;
}

// Finds the option of `type` under `optionKey`, or adds it with the value that
// `makeDefault` builds and writes the file. A section or group that is not an
// array cannot hold options: Failed, and nothing is changed.
template <typename MakeDefault>
ItemResult getItemInConfigFile(const wchar_t* optionKey, const wchar_t* section, const wchar_t* type,
                               MakeDefault makeDefault) {
    JSONMemberMap& sections = g_firstNodeJsonValue->AsMutableObject();
    JSONValue*& sectionSlot = sections[section];
    if (sectionSlot == nullptr)
        sectionSlot = new JSONValue(JSONValueList());
    if (!sectionSlot->IsArray())
        return {Lookup::Failed, nullptr};
    JSONValueList& groups = sectionSlot->AsMutableArray();

    const OptionKey key = splitKey(optionKey);
    JSONValue* group = findObjectForKeyInJsonArray(groups, key.group, kGroupType);
    if (group == nullptr) {
        group = newEntry(key.group, kGroupType, new JSONValue(JSONValueList()));
        groups.push_back(group);
    }
    JSONValueList* options = optionListOf(group);
    if (options == nullptr)
        return {Lookup::Failed, nullptr};

    if (const JSONValue* found = findObjectForKeyInJsonArray(*options, key.option, type))
        return {Lookup::Found, found};

    options->push_back(newEntry(key.option, type, makeDefault()));
    dumpJsonToFile();
    return {Lookup::Added, nullptr};
}

const JSONValue* storedValue(const ItemResult& item) {
    if (item.outcome != Lookup::Found)
        return nullptr;
    return memberOf(item.option, L"value");
}

// Truncates toward zero; false for anything that is not a number in range.
bool toComponent(const JSONValue* value, std::int32_t& component) {
    if (value == nullptr || !value->IsNumber())
        return false;
    const double truncated = std::trunc(value->AsNumber());
    if (!(truncated >= std::numeric_limits<std::int32_t>::min() &&
          truncated <= std::numeric_limits<std::int32_t>::max()))
        return false;
    component = static_cast<std::int32_t>(truncated);
    return true;
}

bool readColor(const JSONValue* value, settingsColorStruct& color) {
    if (value == nullptr || !value->IsObject())
        return false;
    settingsColorStruct read{};
    if (!toComponent(memberOf(value, L"red"), read.red) ||
        !toComponent(memberOf(value, L"green"), read.green) ||
        !toComponent(memberOf(value, L"blue"), read.blue))
        return false;
    color = read;
    return true;
}

// Common start of the getters: the settings must be readable, the key well
// formed and the section known. The file is read first, so that even a call
// with bad arguments creates it.
const wchar_t* getterPrologue(const wchar_t* optionKey, bool argumentsPresent, std::uint32_t sdkKind) {
    if (!readJsonFromFile())
        return nullptr;
    if (optionKey == nullptr || !argumentsPresent || !hasAtMostTwoSlashes(optionKey))
        return nullptr;
    return sectionName(sdkKind);
}

bool setConfigLabel(JSONValueList& list, const std::wstring& labelText, const std::wstring& groupName,
                    const std::wstring& optionName) {
    JSONValue* group = findObjectForKeyInJsonArray(list, groupName, kGroupType);
    if (group == nullptr)
        return false;
    if (optionName.empty()) {
        setMember(*group, L"label", new JSONValue(labelText));
        return true;
    }
    JSONValueList* options = optionListOf(group);
    JSONValue* option = options == nullptr ? nullptr : findObjectForKeyInJsonArray(*options, optionName, L"");
    if (option == nullptr)
        return false;
    setMember(*option, L"label", new JSONValue(labelText));
    return true;
}

} // namespace

JSONValue* findObjectForKeyInJsonArray(const JSONValueList& list, const std::wstring& key,
                                       const std::wstring& type) {
    for (JSONValue* element : list) {
        if (element == nullptr || !element->IsObject())
            continue;
        if (textOf(memberOf(element, L"key")) != key)
            continue;
        if (!type.empty() && textOf(memberOf(element, L"type")) != type)
            continue;
        return element;
    }
    return nullptr;
}

bool PrivateHalvGetConfigOptionNumber(const wchar_t* optionKey, double* optionValue, std::uint32_t sdkKind) {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    const wchar_t* section = getterPrologue(optionKey, optionValue != nullptr, sdkKind);
    if (section == nullptr)
        return false;
    const double fallback = *optionValue;
    const ItemResult item =
        getItemInConfigFile(optionKey, section, L"number", [&] { return new JSONValue(fallback); });
    if (item.outcome == Lookup::Failed)
        return false;
    // A stored value of another kind is of no use: the default stays.
    if (const JSONValue* value = storedValue(item); value != nullptr && value->IsNumber())
        *optionValue = value->AsNumber();
    return true;
}

bool PrivateHalvGetConfigOptionBool(const wchar_t* optionKey, bool* optionValue, std::uint32_t sdkKind) {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    const wchar_t* section = getterPrologue(optionKey, optionValue != nullptr, sdkKind);
    if (section == nullptr)
        return false;
    const bool fallback = *optionValue;
    const ItemResult item =
        getItemInConfigFile(optionKey, section, L"bool", [&] { return new JSONValue(fallback); });
    if (item.outcome == Lookup::Failed)
        return false;
    if (const JSONValue* value = storedValue(item); value != nullptr && value->IsBool())
        *optionValue = value->AsBool();
    return true;
}

bool PrivateHalvGetConfigOptionColor(const wchar_t* optionKey, int* red, int* green, int* blue,
                                     std::uint32_t sdkKind) {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    const bool present = red != nullptr && green != nullptr && blue != nullptr;
    const wchar_t* section = getterPrologue(optionKey, present, sdkKind);
    if (section == nullptr)
        return false;
    settingsColorStruct color{*red, *green, *blue};
    const ItemResult item = getItemInConfigFile(optionKey, section, L"color", [&] {
        JSONMemberMap components;
        components[L"red"] = new JSONValue(static_cast<double>(color.red));
        components[L"green"] = new JSONValue(static_cast<double>(color.green));
        components[L"blue"] = new JSONValue(static_cast<double>(color.blue));
        return new JSONValue(components);
    });
    if (item.outcome == Lookup::Failed)
        return false;
    // Only a complete colour of numbers in range replaces the default.
    readColor(storedValue(item), color);
    *red = color.red;
    *green = color.green;
    *blue = color.blue;
    return true;
}

bool PrivateHalvGetConfigOptionKeyInput(const wchar_t* optionKey, wchar_t* buffer, int bufferBytes,
                                        std::uint32_t sdkKind) {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    const wchar_t* section = getterPrologue(optionKey, buffer != nullptr && bufferBytes >= 1, sdkKind);
    if (section == nullptr)
        return false;
    const std::size_t capacity = static_cast<std::size_t>(bufferBytes) / sizeof(wchar_t);
    const ItemResult item = getItemInConfigFile(optionKey, section, L"keyinput", [&] {
        // Never read past the caller's buffer, terminated or not.
        return new JSONValue(std::wstring(buffer, wcsnlen(buffer, capacity)));
    });
    if (item.outcome == Lookup::Failed)
        return false;
    const JSONValue* value = storedValue(item);
    if (value == nullptr || !value->IsString())
        return true;
    const std::wstring& text = value->AsString();
    if (text.size() >= capacity)
        return false;
    std::wmemcpy(buffer, text.data(), text.size());
    std::wmemset(buffer + text.size(), L'\0', capacity - text.size());
    return true;
}

bool PrivateHalvSetConfigOptionLabel(const wchar_t* optionKey, const wchar_t* labelText,
                                     std::uint32_t sdkKind) {
    std::lock_guard<std::mutex> lock(g_settingsMutex);
    if (!readJsonFromFile() || optionKey == nullptr || labelText == nullptr)
        return false;
    if (!hasAtMostTwoSlashes(optionKey))
        return false;
    const wchar_t* section = sectionName(sdkKind);
    JSONValue* groupsValue = section == nullptr || g_firstNodeJsonValue == nullptr
                                 ? nullptr
                                 : g_firstNodeJsonValue->Child(section);
    // Labels attach only to what exists; nothing is created for them.
    if (groupsValue == nullptr || !groupsValue->IsArray())
        return false;
    JSONValueList& groups = groupsValue->AsMutableArray();

    bool labelled;
    if (std::wcschr(optionKey, L'/') == nullptr) {
        labelled = setConfigLabel(groups, labelText, optionKey, L"") ||
                   setConfigLabel(groups, labelText, kDefaultGroup, optionKey);
    } else {
        const OptionKey key = splitKey(optionKey);
        const std::wstring cut(labelText, wcsnlen(labelText, kMaxQualifiedLabel));
        labelled = setConfigLabel(groups, cut, key.group, key.option);
    }
    if (!labelled)
        return false;
    dumpJsonToFile();
    return true;
}

extern "C" {

HALV_KESH_EXPORT bool HalvKeshGetConfigOptionNumber(const wchar_t* optionKey, double* optionValue) {
    return guarded(false,
                   [&] { return PrivateHalvGetConfigOptionNumber(optionKey, optionValue, kSectionKesh); });
}

HALV_KESH_EXPORT bool HalvKeshGetConfigOptionBool(const wchar_t* optionKey, bool* optionValue) {
    return guarded(false,
                   [&] { return PrivateHalvGetConfigOptionBool(optionKey, optionValue, kSectionKesh); });
}

HALV_KESH_EXPORT bool HalvKeshGetConfigOptionColor(const wchar_t* optionKey, int* red, int* green,
                                                   int* blue) {
    return guarded(
        false, [&] { return PrivateHalvGetConfigOptionColor(optionKey, red, green, blue, kSectionKesh); });
}

HALV_KESH_EXPORT bool HalvKeshGetConfigOptionKeyInput(const wchar_t* optionKey, wchar_t* buffer,
                                                      int bufferBytes) {
    return guarded(false, [&] {
        return PrivateHalvGetConfigOptionKeyInput(optionKey, buffer, bufferBytes, kSectionKesh);
    });
}

HALV_KESH_EXPORT bool HalvKeshSetConfigOptionLabel(const wchar_t* optionKey, const wchar_t* labelText) {
    return guarded(false,
                   [&] { return PrivateHalvSetConfigOptionLabel(optionKey, labelText, kSectionKesh); });
}

} // extern "C"
