#include "PageEditor.h"

#include <gtest/gtest.h>

using namespace kesh::host;

// As setAttribute and innerHTML would: by id ("#") the first element with it, by class (".") every one.
TEST(PageEditor, EditsExactlyTheElementsTheBrowserWouldMatch) {
    struct Case {
        const char* target;
        const char* property; // nullptr: a content edit
        const char* value;
        int changed;
        const char* page;
        const char* edited;
    };
    const Case cases[] = {
        {"#a", "style", "c:red", 1, R"(<p id="a" style='x'>1</p><p id="a">2</p>)",
         R"(<p id="a" style="c:red">1</p><p id="a">2</p>)"},
        {"#b", "SRC", "new.gif", 1, R"(<img id=b src="old.gif"/>)", R"(<img id=b src="new.gif"/>)"},
        {"#b", "alt", "say \"hi\" & go", 1, R"(<i id=b>)", R"(<i id=b alt="say &quot;hi&quot; &amp; go">)"},
        {".hot", "hidden", "", 2, R"(<div class="x hot"><b class="hot">a</b></div><b class="hotter">c</b>)",
         R"(<div class="x hot" hidden=""><b class="hot" hidden="">a</b></div><b class="hotter">c</b>)"},
        {"#a", "onclick=\"evil\"", "1", 0, R"(<p id="a">x</p>)", R"(<p id="a">x</p>)"},
        {"#a", "", "1", 0, R"(<p id="a">x</p>)", R"(<p id="a">x</p>)"},
        {"#fish&chips", nullptr, "y", 1, R"(<p id="fish&amp;chips">x</p>)",
         R"(<p id="fish&amp;chips">y</p>)"},
        {"#out", nullptr, "<i>new</i>", 1, R"(<div id="out"><div>in</div>tail</div><div>after</div>)",
         R"(<div id="out"><i>new</i></div><div>after</div>)"},
        {".n", nullptr, "-", 4,
         R"(<li class="n">1</li><li class="n">2<b class="n">x</b></li><p class="n">3</p>)",
         R"(<li class="n">-</li><li class="n">-</li><p class="n">-</p>)"},
        {"#t", nullptr, "done", 1,
         R"(<!-- <p id="t"> --><script>'<p id="t">'</script><p title='id="t"' id="t">yes</p>)",
         R"(<!-- <p id="t"> --><script>'<p id="t">'</script><p title='id="t"' id="t">done</p>)"},
        {"#i", nullptr, "text", 0, R"(<img id="i"><br class="c">)", R"(<img id="i"><br class="c">)"},
        {".c", nullptr, "text", 0, R"(<img id="i"><br class="c">)", R"(<img id="i"><br class="c">)"},
        {"#nothing", nullptr, "text", 0, R"(<p id="a">x</p>)", R"(<p id="a">x</p>)"},
        {"#open", nullptr, "new", 1, R"(<body><p id="open">old text)", R"(<body><p id="open">new)"},
    };
    for (const Case& c : cases) {
        std::string html = c.page;
        const TagSelector target{c.target + 1, c.target[0] == '.'};
        const int changed = c.property != nullptr ? setTagProperty(html, target, c.property, c.value)
                                                  : setTagContent(html, target, c.value);
        EXPECT_EQ(changed, c.changed) << c.page;
        EXPECT_EQ(html, c.edited) << c.page;
    }
    // An edit that would make the page longer than its limit is not made.
    std::string html = R"(<p class="n">-</p><p class="n">-</p>)";
    EXPECT_EQ(setTagContent(html, {"n", true}, std::string(20, 'x'), html.size() + 30), -1);
    EXPECT_EQ(html, R"(<p class="n">-</p><p class="n">-</p>)");
}
