// The display page in headless Chromium follows the applet live.
#include "DevToolsPipe.h"
#include "HostUnderTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace kesh::test;

namespace {

// The text of an element of the shown page (inside the display's frame), or "".
std::string shownText(const std::string& id) {
    return "(() => { const f = document.getElementById('page'); const d = f && f.contentDocument;"
           " const e = d && d.getElementById('" +
           id + "'); return e ? e.textContent : ''; })()";
}

std::string decodeBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        const auto pos = alphabet.find(c);
        if (pos == std::string::npos) {
            continue;
        }
        value = (value << 6) | unsigned(pos);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return out;
}

const char* const kSamplePage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
    "content=\"width=device-width\">"
    "<style>body{margin:0;font-family:sans-serif;background:#1b2430;color:#e8edf2}"
    "header{background:#2c3e50;padding:16px 20px}h1{margin:0;font-size:26px}"
    ".realm{color:#9fb3c8;font-size:14px}main{padding:16px 20px}"
    ".stat{display:flex;justify-content:space-between;border-bottom:1px solid #33475b;padding:8px 0}"
    ".value{color:#f5c542;font-weight:bold}img{width:96px;height:96px;image-rendering:pixelated;"
    "border-radius:8px;float:right}</style></head><body>"
    "<header><img src=\"badge.png\" alt=\"\"><h1 id=\"name\">Aerin</h1><div "
    "class=\"realm\">Silvermoon</div></header>"
    "<main><div class=\"stat\"><span>Level</span><span class=\"value\" id=\"level\">60</span></div>"
    "<div class=\"stat\"><span>Item level</span><span class=\"value\" id=\"ilvl\">212</span></div>"
    "<div class=\"stat\"><span>Status</span><span class=\"value\" id=\"status\">Waiting</span></div>"
    "<p id=\"note\">Tap the page to send an event to the applet.</p></main></body></html>";

} // namespace

TEST(DisplayInBrowser, FollowsTheIndexAndTagEditsLiveAndSendsTaps) {
    const std::string browser = chromiumPath();
    if (browser.empty()) {
        GTEST_SKIP() << "chromium is not installed; the display page is not tested in a browser";
    }
    HostUnderTest host;
    ASSERT_TRUE(host.ready()) << host.log();
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init com.example.browser\tBrowser"), "ok init");
    ASSERT_EQ(command(*applet,
                      "content first.html\t<h1 id=\"t\">First</h1><p class=\"c\">x</p><p class=\"c\">y</p>"),
              "ok content");
    ASSERT_EQ(command(*applet, "image badge.png\t128\t128"), "ok image");
    ASSERT_EQ(command(*applet, std::string("content sample.html\t") + kSamplePage), "ok content");
    ASSERT_EQ(command(*applet, "index first.html"), "ok index");

    TempFolder profile;
    DevToolsPipe chrome(profile.path(), 480, 640);
    const std::string session = chrome.openPage(host.url());
    ASSERT_FALSE(session.empty()) << chrome.lastError();
    ASSERT_TRUE(waitUntil([&] { return chrome.evaluate(session, shownText("t")) == "First"; }, 30s))
        << chrome.lastError();

    EXPECT_EQ(chrome.evaluate(session, "getComputedStyle(document.getElementById('waiting')).display"),
              "none")
        << "the waiting notice covers the shown page";

    // A mark in the shown page's window survives edits made in place, not a reload.
    chrome.evaluate(session, "document.getElementById('page').contentWindow.keshMark = 'kept'");
    ASSERT_EQ(command(*applet, "content-id t\tChanged <i>live</i>"), "ok content-id");
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(session, shownText("t")) == "Changed live"; }));
    ASSERT_EQ(command(*applet, "prop-class c\tdata-state\tlit"), "ok prop-class");
    const std::string litCount =
        "document.getElementById('page').contentDocument.querySelectorAll('.c[data-state=lit]').length";
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(session, litCount) == "2"; }));
    EXPECT_EQ(chrome.evaluate(session, "document.getElementById('page').contentWindow.keshMark"), "kept");

    // A display opened later sees the page with its edits.
    const std::string late = chrome.openPage(host.url());
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(late, shownText("t")) == "Changed live"; }));

    ASSERT_EQ(command(*applet, "index sample.html"), "ok index");
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(session, shownText("name")) == "Aerin"; }));
    ASSERT_EQ(command(*applet, "content-id status\tOnline"), "ok content-id");
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(session, shownText("status")) == "Online"; }));

    // Taps count once the display has hooked the shown page.
    EXPECT_TRUE(waitUntil([&] {
        return chrome.evaluate(session, "document.body.dataset.ready === document.body.dataset.version") ==
               "true";
    }));
    chrome.evaluate(session,
                    "document.getElementById('page').contentDocument.getElementById('level').click()");
    const auto record = applet->readLineStartingWith("record", 20s);
    ASSERT_TRUE(record) << host.log();
    EXPECT_EQ(record->rfind("record 1 0 {", 0), 0u) << *record;
    EXPECT_NE(record->find("\"id\":\"level\""), std::string::npos) << *record;

    // Set KESH_HOST_SCREENSHOT to a file name to keep a picture of the display.
    if (const char* shot = std::getenv("KESH_HOST_SCREENSHOT"); shot != nullptr && *shot != '\0') {
        ASSERT_TRUE(waitUntil([&] {
            return chrome.evaluate(
                       session, "(() => { const i = document.getElementById('page').contentDocument"
                                ".querySelector('img'); return i && i.complete ? 'yes' : ''; })()") == "yes";
        }));
        auto image = chrome.call("Page.captureScreenshot", {{"format", "png"}}, session);
        ASSERT_TRUE(image) << chrome.lastError();
        std::ofstream(shot, std::ios::binary) << decodeBase64((*image)["data"].get<std::string>());
    }
}

TEST(DisplayInBrowser, TheMainDisplayFollowsTheLatestAppletWhileAnAppletsOwnDisplayStaysWithIt) {
    if (chromiumPath().empty()) {
        GTEST_SKIP() << "chromium is not installed; the display page is not tested in a browser";
    }
    HostUnderTest host;
    ASSERT_TRUE(host.ready()) << host.log();
    auto first = host.startApplet();
    auto second = host.startApplet();
    ASSERT_EQ(command(*first, "init com.example.one\tOne"), "ok init");
    ASSERT_EQ(command(*second, "init com.example.two\tTwo"), "ok init");
    ASSERT_EQ(command(*first, "content p.html\t<p id=\"who\">one</p>"), "ok content");
    ASSERT_EQ(command(*second, "content p.html\t<p id=\"who\">two</p>"), "ok content");
    ASSERT_EQ(command(*first, "index p.html"), "ok index");

    TempFolder profile;
    DevToolsPipe chrome(profile.path(), 400, 300);
    const std::string main = chrome.openPage(host.url());
    const std::string own = chrome.openPage(host.url() + "applets/com.example.one/");
    ASSERT_FALSE(main.empty() || own.empty()) << chrome.lastError();
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(main, shownText("who")) == "one"; }, 30s));
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(own, shownText("who")) == "one"; }, 30s));

    ASSERT_EQ(command(*second, "index p.html"), "ok index");
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(main, shownText("who")) == "two"; }));
    // Edits of the applet no longer shown do not leak into the main display.
    ASSERT_EQ(command(*first, "content-id who\tone, edited"), "ok content-id");
    EXPECT_TRUE(waitUntil([&] { return chrome.evaluate(own, shownText("who")) == "one, edited"; }));
    EXPECT_EQ(chrome.evaluate(main, shownText("who")), "two");
}
