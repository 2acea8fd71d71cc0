// The shared library exports exactly its interface: 18 functions and the two
// version constants, nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(Exports, LibraryExportsExactlyTheInterface) {
    // Defined dynamic symbols, without those every shared object has.
    FILE* nm = popen("nm -D --defined-only '" HALV_SDK_LIBRARY_FILE "' | awk '$2 != \"A\" && $3 !~ "
                     "/^(_init|_fini|_edata|_end|__bss_start)$/ {print $3}' | LC_ALL=C sort",
                     "r");
    std::string exported;
    for (char name[512]; fscanf(nm, "%511s", name) == 1;)
        exported += std::string(name) + " ";
    pclose(nm);
    EXPECT_EQ(exported,
              "HalvKeshAddContentAs HalvKeshAddFileAs HalvKeshAddImageFromBitmap HalvKeshAddUTF8StringAs "
              "HalvKeshGetConfigOptionBool HalvKeshGetConfigOptionColor HalvKeshGetConfigOptionKeyInput "
              "HalvKeshGetConfigOptionNumber HalvKeshGetLastError HalvKeshInit HalvKeshInitWithIcon "
              "HalvKeshSetConfigOptionLabel HalvKeshSetIndex HalvKeshSetTagContentById "
              "HalvKeshSetTagPropertyById HalvKeshSetTagsContentByClass HalvKeshSetTagsPropertyByClass "
              "HalvKeshShutdown HalvorinKeshControlVersionNumber HalvorinKeshControlVersionString ");
}
