// The display page in headless Chromium: it follows the applet live, and the
// applet's page in it runs with no authority of the host's.
#include "DevToolsPipe.h"
#include "HostUnderTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace kesh::test;

namespace {

std::string textOf(const std::string& id) {
    return "(() => { const e = document.getElementById('" + id + "'); return e ? e.textContent : ''; })()";
}

std::string decodeBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        if (const auto pos = alphabet.find(c); pos != std::string::npos) {
            value = (value << 6) | unsigned(pos);
            if ((bits += 6) >= 8) {
                out += static_cast<char>((value >> (bits -= 8)) & 0xFF);
            }
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

// A page that tries what a hostile applet would: read the host's state and
// another applet's file, send that applet a tap, reach into the display.
const char* const kHostilePage =
    "<p id=\"out\">running</p><script>(async () => { const r = {};"
    " const get = async (url) => { try { const x = await fetch(url); return x.status + ' ' + await x.text(); "
    "}"
    " catch (e) { return 'refused'; } };"
    " r.state = await get('/state'); let url = '/applets/com.example.victim/files/secret.txt';"
    " try { url = JSON.parse(r.state.slice(4)).applets.find((a) => a.key === "
    "'com.example.victim').files[0].url; }"
    " catch (e) {}"
    " r.file = await get(url);"
    " for (const type of ['text/plain', 'application/json']) { try { await fetch('/event/tap', { method: "
    "'POST',"
    " mode: type === 'text/plain' ? 'no-cors' : 'cors', headers: { 'Content-Type': type },"
    " body: JSON.stringify({ applet: 'com.example.victim', x: 1, y: 2, id: 'forged' }) }); } catch (e) {} }"
    " try { r.display = parent.document.title; } catch (e) { r.display = 'refused'; }"
    " document.getElementById('out').textContent = JSON.stringify(r); })();</script>";

class DisplayInBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        if (chromiumPath().empty()) {
            GTEST_SKIP() << "chromium is not installed; the display page is not tested in a browser";
        }
        ASSERT_TRUE(host.ready()) << host.log();
    }
    // Opens the display at `path` with the token once, as the printed address does.
    std::string open(const std::string& path = "") {
        return chrome->openPage(host.url() + path + "?token=" + host.token());
    }
    HostUnderTest host;
    kv::testsupport::TemporaryFolder profile;
    std::unique_ptr<DevToolsPipe> chrome = std::make_unique<DevToolsPipe>(profile.path().string(), 480, 640);
};

} // namespace

TEST_F(DisplayInBrowser, FollowsTheIndexAndTagEditsLiveAndSendsTaps) {
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init com.example.browser\tBrowser"), "ok init");
    ASSERT_EQ(command(*applet,
                      "content first.html\t<h1 id=\"t\">First</h1><p class=\"c\">x</p><p class=\"c\">y</p>"),
              "ok content");
    ASSERT_EQ(command(*applet, "image badge.png\t128\t128"), "ok image");
    ASSERT_EQ(command(*applet, std::string("content sample.html\t") + kSamplePage), "ok content");
    ASSERT_EQ(command(*applet, "index first.html"), "ok index");

    const std::string session = open();
    ASSERT_FALSE(session.empty()) << chrome->lastError();
    ASSERT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(session, textOf("t")) == "First"; }, 30s))
        << chrome->lastError();
    EXPECT_EQ(chrome->evaluate(
                  session, "location.search + getComputedStyle(document.getElementById('waiting')).display"),
              "none")
        << "the token stays out of the address bar, and the waiting notice off the shown page";

    // A mark in the shown page's window survives edits made in place, not a reload.
    chrome->evaluateInFrame(session, "window.keshMark = 'kept'");
    ASSERT_EQ(command(*applet, "content-id t\tChanged <i>live</i>"), "ok content-id");
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(session, textOf("t")) == "Changed live"; }));
    ASSERT_EQ(command(*applet, "prop-class c\tdata-state\tlit"), "ok prop-class");
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluateInFrame(session, "document.querySelectorAll('.c[data-state=lit]').length") ==
               "2";
    }));
    EXPECT_EQ(chrome->evaluateInFrame(session, "window.keshMark"), "kept");

    // A display opened later sees the page with its edits.
    const std::string late = open();
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(late, textOf("t")) == "Changed live"; }));

    ASSERT_EQ(command(*applet, "index sample.html"), "ok index");
    ASSERT_EQ(command(*applet, "content-id status\tOnline"), "ok content-id");
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(session, textOf("status")) == "Online"; }));
    const std::string badgeShown = "(() => { const i = document.querySelector('img');"
                                   " return i && i.complete && i.naturalWidth === 128 ? 'yes' : ''; })()";
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(session, badgeShown) == "yes"; }))
        << "the page's own files load by their relative addresses";

    // Taps count once the shown page has told the display it is ready.
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluate(session, "document.body.dataset.ready === document.body.dataset.version") ==
               "true";
    }));
    chrome->evaluateInFrame(session, "document.getElementById('level').click()");
    const auto record = applet->readLineStartingWith("record", 20s);
    ASSERT_TRUE(record) << host.log();
    EXPECT_EQ(record->rfind("record 1 0 {", 0), 0u) << *record;
    EXPECT_NE(record->find("\"id\":\"level\""), std::string::npos) << *record;

    // Set KESH_HOST_SCREENSHOT to a file name to keep a picture of the display.
    if (const char* shot = std::getenv("KESH_HOST_SCREENSHOT"); shot != nullptr && *shot != '\0') {
        auto image = chrome->call("Page.captureScreenshot", {{"format", "png"}}, session);
        ASSERT_TRUE(image) << chrome->lastError();
        std::ofstream(shot, std::ios::binary) << decodeBase64((*image)["data"].get<std::string>());
    }
}

TEST_F(DisplayInBrowser, TheMainDisplayFollowsTheLatestAppletWhileAnAppletsOwnDisplayStaysWithIt) {
    auto first = host.startApplet();
    auto second = host.startApplet();
    ASSERT_EQ(command(*first, "init com.example.one\tOne"), "ok init");
    ASSERT_EQ(command(*second, "init com.example.two\tTwo"), "ok init");
    ASSERT_EQ(command(*first, "content p.html\t<p id=\"who\">one</p>"), "ok content");
    ASSERT_EQ(command(*second, "content p.html\t<p id=\"who\">two</p>"), "ok content");
    ASSERT_EQ(command(*first, "index p.html"), "ok index");

    const std::string main = open();
    const std::string own = open("applets/com.example.one/");
    ASSERT_FALSE(main.empty() || own.empty()) << chrome->lastError();
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(main, textOf("who")) == "one"; }, 30s));
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(own, textOf("who")) == "one"; }, 30s));

    ASSERT_EQ(command(*second, "index p.html"), "ok index");
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(main, textOf("who")) == "two"; }));
    // Edits of the applet no longer shown do not leak into the main display.
    ASSERT_EQ(command(*first, "content-id who\tone, edited"), "ok content-id");
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(own, textOf("who")) == "one, edited"; }));
    EXPECT_EQ(chrome->evaluateInFrame(main, textOf("who")), "two");
}

TEST_F(DisplayInBrowser, AnAppletsPageCannotReadTheHostNorOtherAppletsNorTapThem) {
    auto victim = host.startApplet();
    auto hostile = host.startApplet();
    ASSERT_EQ(command(*victim, "init com.example.victim\tVictim"), "ok init");
    ASSERT_EQ(command(*victim, "content secret.txt\tvictim-secret"), "ok content");
    ASSERT_EQ(command(*hostile, "init com.example.hostile\tHostile"), "ok init");
    ASSERT_EQ(command(*hostile, std::string("content h.html\t") + kHostilePage), "ok content");
    ASSERT_EQ(command(*hostile, "index h.html"), "ok index");

    const std::string session = open();
    std::string found;
    ASSERT_TRUE(waitUntil(
        [&] { return (found = chrome->evaluateInFrame(session, textOf("out"))).starts_with("{"); }, 30s))
        << found;
    EXPECT_EQ(found, R"({"state":"refused","file":"refused","display":"refused"})");
    // Had a forged tap got through, it would come before this record.
    ASSERT_EQ(host.sendRecord({{"applet", "com.example.victim"}, {"eventType", 9}, {"arg", "marker"}}), 1);
    EXPECT_EQ(victim->readLineStartingWith("record").value_or("none"), "record 9 0 marker");
}
