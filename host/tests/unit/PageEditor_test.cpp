#include "PageEditor.h"

#include <gtest/gtest.h>

using namespace kesh::host;

namespace {
TagSelector id(const char* name) {
    return {name, false};
}
TagSelector cls(const char* name) {
    return {name, true};
}
} // namespace

TEST(PageEditorProperty, ReplacesOrAddsTheAttributeOfTheFirstElementWithTheId) {
    std::string html = R"(<p id="a" style='x'>1</p><img id=b src="old.gif"/><p id="a">2</p>)";
    EXPECT_EQ(setTagProperty(html, id("a"), "style", "color:red"), 1);
    EXPECT_EQ(setTagProperty(html, id("b"), "SRC", "new.gif"), 1);
    EXPECT_EQ(setTagProperty(html, id("b"), "alt", "say \"hi\" & go"), 1);
    EXPECT_EQ(
        html,
        R"(<p id="a" style="color:red">1</p><img id=b src="new.gif" alt="say &quot;hi&quot; &amp; go"/>)"
        R"(<p id="a">2</p>)");
}

TEST(PageEditorProperty, MatchesIdsAsTheBrowserReadsThemWithEntitiesDecoded) {
    std::string html = R"(<p id="fish&amp;chips">x</p>)";
    EXPECT_EQ(setTagContent(html, id("fish&chips"), "y"), 1);
    EXPECT_EQ(html, R"(<p id="fish&amp;chips">y</p>)");
}

TEST(PageEditorProperty, ChangesEveryElementOfTheClassAndNoOther) {
    std::string html = R"(<div class="x hot"><span class="hot">a</span></div><b class="hotter">c</b>)";
    EXPECT_EQ(setTagProperty(html, cls("hot"), "hidden", ""), 2);
    EXPECT_EQ(
        html,
        R"(<div class="x hot" hidden=""><span class="hot" hidden="">a</span></div><b class="hotter">c</b>)");
}

TEST(PageEditorProperty, RefusesNamesThatWouldBreakTheMarkup) {
    std::string html = R"(<p id="a">x</p>)";
    const std::string before = html;
    EXPECT_EQ(setTagProperty(html, id("a"), "onclick=\"evil\"", "1"), 0);
    EXPECT_EQ(setTagProperty(html, id("a"), "", "1"), 0);
    EXPECT_EQ(html, before);
}

TEST(PageEditorContent, ReplacesTheInnerHtmlUpToTheMatchingEndTag) {
    std::string html = R"(<div id="out"><div>inner</div>tail</div><div>after</div>)";
    EXPECT_EQ(setTagContent(html, id("out"), "<i>new</i>"), 1);
    EXPECT_EQ(html, R"(<div id="out"><i>new</i></div><div>after</div>)");
}

TEST(PageEditorContent, ReplacesEachElementOfTheClassIncludingNestedOnes) {
    std::string html =
        R"(<ul><li class="n">1</li><li class="n">2<b class="n">x</b></li></ul><li class="n">3</li>)";
    EXPECT_EQ(setTagContent(html, cls("n"), "-"), 4);
    EXPECT_EQ(html, R"(<ul><li class="n">-</li><li class="n">-</li></ul><li class="n">-</li>)");
    // An edit that would make the page longer than its limit is not made.
    EXPECT_EQ(setTagContent(html, cls("n"), std::string(20, 'x'), html.size() + 50), -1);
    EXPECT_EQ(html, R"(<ul><li class="n">-</li><li class="n">-</li></ul><li class="n">-</li>)");
}

TEST(PageEditorContent, IgnoresLookalikesInCommentsScriptsAndAttributes) {
    std::string html = "<!-- <p id=\"t\">no</p> --><script>var s = '<p id=\"t\">';</script>"
                       "<p title='id=\"t\"' id=\"t\">yes</p>";
    EXPECT_EQ(setTagContent(html, id("t"), "done"), 1);
    EXPECT_EQ(html, "<!-- <p id=\"t\">no</p> --><script>var s = '<p id=\"t\">';</script>"
                    "<p title='id=\"t\"' id=\"t\">done</p>");
}

TEST(PageEditorContent, LeavesVoidElementsAndMissingTargetsAlone) {
    std::string html = R"(<img id="i" src="a.gif"><br class="c"><p>x</p>)";
    const std::string before = html;
    EXPECT_EQ(setTagContent(html, id("i"), "text"), 0);
    EXPECT_EQ(setTagContent(html, cls("c"), "text"), 0);
    EXPECT_EQ(setTagContent(html, id("nothing"), "text"), 0);
    EXPECT_EQ(html, before);
}

TEST(PageEditorContent, AnUnclosedElementRunsToTheEndOfThePage) {
    std::string html = R"(<body><p id="open">old text)";
    EXPECT_EQ(setTagContent(html, id("open"), "new"), 1);
    EXPECT_EQ(html, R"(<body><p id="open">new)");
}
