// The shared library exports exactly its interface: 18 functions and the two
// version constants, nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>

TEST(Exports, LibraryExportsExactlyTheInterface) {
    std::istringstream names(
        "HalvKeshInit HalvKeshInitWithIcon HalvKeshAddFileAs HalvKeshAddContentAs HalvKeshAddUTF8StringAs "
        "HalvKeshAddImageFromBitmap HalvKeshSetIndex HalvKeshSetTagPropertyById "
        "HalvKeshSetTagsPropertyByClass "
        "HalvKeshSetTagContentById HalvKeshSetTagsContentByClass HalvKeshGetLastError HalvKeshShutdown "
        "HalvKeshGetConfigOptionNumber HalvKeshGetConfigOptionBool HalvKeshGetConfigOptionColor "
        "HalvKeshGetConfigOptionKeyInput HalvKeshSetConfigOptionLabel HalvorinKeshControlVersionString "
        "HalvorinKeshControlVersionNumber");
    const std::set<std::string> interface {
        std::istream_iterator<std::string>(names), {}
    };
    // Defined dynamic symbols, without those every shared object has.
    std::set<std::string> exported;
    FILE* nm = popen("nm -D --defined-only '" HALV_SDK_LIBRARY_FILE "' | grep -v ' A '", "r");
    char address[64], kind[8], name[512];
    while (fscanf(nm, "%63s %7s %511s", address, kind, name) == 3)
        if (!std::set<std::string>{"_init", "_fini", "_edata", "_end", "__bss_start"}.count(name))
            exported.insert(name);
    pclose(nm);
    EXPECT_EQ(exported, interface);
}
