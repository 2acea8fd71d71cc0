// Applies tag edits to arbitrary text: never a crash or a hang, and an edit
// whose target is not there leaves the page unchanged.
#include "PageEditor.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kesh::host;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string page = input;
    setTagContent(page, {"a", false}, "<b id=\"a\">x</b>");
    setTagContent(page, {"c", true}, "");
    setTagProperty(page, {"a", true}, "style", "v\"&");
    setTagProperty(page, {"b", false}, "data-x", "1");

    std::string untouched = input;
    const std::string absent = "\x01missing";
    if (input.find(absent) == std::string::npos &&
        (setTagContent(untouched, {absent, false}, "x") != 0 ||
         setTagProperty(untouched, {absent, true}, "p", "v") != 0 || untouched != input)) {
        std::abort();
    }
    return 0;
}
