// The shared library exports exactly its interface and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

// The interface, name by name. Add a name here when the interface grows.
const std::set<std::string> kInterface = {
    "HalvKeshInit",
    "HalvKeshInitWithIcon",
    "HalvKeshAddFileAs",
    "HalvKeshAddContentAs",
    "HalvKeshAddUTF8StringAs",
    "HalvKeshAddImageFromBitmap",
    "HalvKeshSetIndex",
    "HalvKeshSetTagPropertyById",
    "HalvKeshSetTagsPropertyByClass",
    "HalvKeshSetTagContentById",
    "HalvKeshSetTagsContentByClass",
    "HalvKeshGetLastError",
    "HalvKeshShutdown",
    "HalvKeshGetConfigOptionNumber",
    "HalvKeshGetConfigOptionBool",
    "HalvKeshGetConfigOptionColor",
    "HalvKeshGetConfigOptionKeyInput",
    "HalvKeshSetConfigOptionLabel",
    "HalvorinKeshControlVersionString",
    "HalvorinKeshControlVersionNumber",
};

// Defined dynamic symbols of the library, without the versioning and linker
// symbols that every shared object has.
std::set<std::string> exportedNames(const std::string& library) {
    std::set<std::string> names;
    FILE* nm = popen(("nm -D --defined-only '" + library + "'").c_str(), "r");
    if (nm == nullptr)
        return names;
    char line[1024];
    while (fgets(line, sizeof line, nm) != nullptr) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (!(fields >> address >> kind >> name))
            continue;
        if (kind == "A" || name.rfind("_init", 0) == 0 || name.rfind("_fini", 0) == 0 ||
            name.rfind("_edata", 0) == 0 || name.rfind("_end", 0) == 0 || name.rfind("__bss_start", 0) == 0)
            continue;
        names.insert(name);
    }
    pclose(nm);
    return names;
}

} // namespace

TEST(Exports, LibraryExportsExactlyTheInterface) {
    const std::set<std::string> exported = exportedNames(HALV_SDK_LIBRARY_FILE);
    std::set<std::string> unexpected;
    for (const auto& name : exported)
        if (!kInterface.count(name))
            unexpected.insert(name);
    std::set<std::string> missing;
    for (const auto& name : kInterface)
        if (!exported.count(name))
            missing.insert(name);
    EXPECT_TRUE(missing.empty()) << "missing: " << ::testing::PrintToString(missing);
    EXPECT_TRUE(unexpected.empty()) << "unexpected: " << ::testing::PrintToString(unexpected);
}
