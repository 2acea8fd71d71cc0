// The display page in headless Chromium: it follows the applet live, with no authority of the host's.
#include "DevToolsPipe.h"
#include "HostUnderTest.h"

#include <gtest/gtest.h>

#include <regex>

using namespace kesh::test;

namespace {

std::string textOf(const std::string& id) {
    return "(() => { const e = document.getElementById('" + id + "'); return e ? e.textContent : ''; })()";
}

// A hostile applet's page: reads the host's state and another applet's file, taps it, reaches the display.
const char* const kHostilePage = R"(<p id="out">running</p><script>(async () => {
  const r = {};
  const get = async (url) => {
    try { const x = await fetch(url); return x.status + " " + await x.text(); } catch (e) { return "refused"; }
  };
  r.state = await get("/state");
  let url = "/applets/com.example.victim/files/secret.txt";
  try { url = JSON.parse(r.state.slice(4)).applets.find((a) => a.key === "com.example.victim").files[0].url; }
  catch (e) {}
  r.file = await get(url);
  const body = JSON.stringify({ applet: "com.example.victim", x: 1, y: 2, id: "forged" });
  for (const [type, mode] of [["text/plain", "no-cors"], ["application/json", "cors"]])
    await fetch("/event/tap", { method: "POST", mode, headers: { "Content-Type": type }, body }).catch(() => {});
  try { r.display = parent.document.title; } catch (e) { r.display = "refused"; }
  document.getElementById("out").textContent = JSON.stringify(r);
})();</script>)";

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
    // What the display says: "waiting", "showing", "applet-gone" or "host-gone".
    bool says(const std::string& session, const std::string& state, std::chrono::milliseconds timeout = 10s) {
        return waitUntil([&] { return chrome->evaluate(session, "document.body.dataset.state") == state; },
                         timeout);
    }
    // With KESH_SCREENSHOTS=<folder>, a picture at phone size for the documentation.
    void picture(const std::string& session, const std::string& name) {
        if (const char* folder = std::getenv("KESH_SCREENSHOTS")) {
            EXPECT_TRUE(chrome->screenshot(session, std::string(folder) + "/" + name + ".png"));
        }
    }
    HostUnderTest host;
    kv::testsupport::TemporaryFolder profile;
    std::unique_ptr<DevToolsPipe> chrome = std::make_unique<DevToolsPipe>(profile.path().string(), 390, 844);
};

} // namespace

TEST_F(DisplayInBrowser, FollowsTheIndexAndTagEditsLiveSendsTapsAndOpensLinksInANewTab) {
    const std::string main = open();
    EXPECT_TRUE(says(main, "waiting")) << chrome->lastError();
    EXPECT_NE(chrome->evaluate(main, textOf("waiting")).find("Start Kesh Vistrel"), std::string::npos);
    picture(main, "display-waiting");
    auto applet = host.connect();
    ASSERT_TRUE(applet->registration("com.example.browser", "Browser"));
    ASSERT_TRUE(
        applet->content("first.html", "<h1 id=\"t\">First</h1><p class=\"c\">x</p><p class=\"c\">y</p>"));
    ASSERT_TRUE(applet->image("badge.png", 8, 8));
    ASSERT_TRUE(applet->content(
        "second.html", "<a id=\"link\" href=\"badge.png\" style=\"display:block;height:40px\">"
                       "open</a><img src=\"badge.png\"><p id=\"status\">Waiting</p><b id=\"tap\">x</b>"));
    ASSERT_TRUE(applet->index("first.html"));

    const std::string own = open("applets/com.example.browser/");
    ASSERT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(main, textOf("t")) == "First"; }, 30s))
        << chrome->lastError();
    EXPECT_EQ(chrome->evaluate(
                  main, "location.search + getComputedStyle(document.getElementById('waiting')).display"),
              "none")
        << "the token stays out of the address bar, and the waiting notice off the shown page";

    // A mark in the shown page's window survives edits made in place, not a reload.
    chrome->evaluateInFrame(main, "window.keshMark = 'kept'");
    ASSERT_TRUE(applet->tagContent(false, "t", "Changed <i>live</i>"));
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(main, textOf("t")) == "Changed live"; }));
    ASSERT_TRUE(applet->property(true, "c", "data-state", "lit"));
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluateInFrame(main, "document.querySelectorAll('.c[data-state=lit]').length") == "2";
    }));
    EXPECT_EQ(chrome->evaluateInFrame(main, "window.keshMark"), "kept");
    // A display opened later sees the page with its edits.
    const std::string late = open();
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(late, textOf("t")) == "Changed live"; }));

    ASSERT_TRUE(applet->index("second.html") && applet->tagContent(false, "status", "Online"));
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(main, textOf("status")) == "Online"; }));
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluateInFrame(main, "document.images[0].naturalWidth") == "8";
    })) << "the page's own files load by their relative addresses";
    // Taps count once the shown page has told the display it is ready.
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluate(main, "document.body.dataset.ready === document.body.dataset.version") ==
               "true";
    }));
    chrome->evaluateInFrame(main, "document.getElementById('tap').click()");
    const std::string tap = applet->readRecord(20000).value_or("none");
    EXPECT_TRUE(tap.starts_with(R"(record 1 0 {"id":"tap",)")) << tap;
    // A link opens a new tab: the display keeps its page.
    chrome->clickInFrame(main, 20, 20);
    EXPECT_TRUE(waitUntil([&] {
        const auto targets = chrome->call("Target.getTargets", nlohmann::json::object());
        return targets &&
               std::regex_search(targets->dump(), std::regex(R"("type":"page","url":"[^"]+/badge\.png")"));
    }));
    EXPECT_EQ(chrome->evaluateInFrame(main, textOf("status")), "Online");

    // The main display follows the applet that showed a page last; an applet's own display stays with it.
    auto other = host.connect();
    ASSERT_TRUE(other->registration("com.example.other", "Other") &&
                other->content("o.html", "<p id=\"t\">other</p>") && other->index("o.html"));
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(main, textOf("t")) == "other"; }));
    ASSERT_TRUE(applet->tagContent(false, "status", "Edited"));
    EXPECT_TRUE(waitUntil([&] { return chrome->evaluateInFrame(own, textOf("status")) == "Edited"; }));
    EXPECT_EQ(chrome->evaluateInFrame(main, textOf("t")), "other");
}

TEST_F(DisplayInBrowser, AnAppletsPageCannotReadTheHostNorOtherAppletsNorTapThem) {
    auto victim = host.connect();
    auto hostile = host.connect();
    ASSERT_TRUE(victim->registration("com.example.victim", "Victim") &&
                victim->content("secret.txt", "victim-secret"));
    ASSERT_TRUE(hostile->registration("com.example.hostile", "Hostile") &&
                hostile->content("h.html", kHostilePage) && hostile->index("h.html"));

    const std::string session = open();
    std::string found;
    EXPECT_TRUE(waitUntil(
        [&] { return (found = chrome->evaluateInFrame(session, textOf("out"))).starts_with("{"); }, 30s))
        << found;
    EXPECT_EQ(found, R"({"state":"refused","file":"refused","display":"refused"})");
    // Had a forged tap got through, it would come before this record.
    ASSERT_EQ(host.sendRecord({{"applet", "com.example.victim"}, {"eventType", 9}, {"arg", "marker"}}), 1);
    EXPECT_EQ(victim->readRecord().value_or("none"), "record 9 0 marker");
}

// The display says when the applet or host goes away and recovers; it can go on a phone's home screen.
TEST_F(DisplayInBrowser, SaysWhenTheAppletOrTheHostIsGoneAndWhenAnUpdateNeverEnds) {
    std::string update = readFileText(KESH_APP_RESOURCES "/update.html");
    const std::string giveUp = R"(data-give-up-after-seconds="30")"; // shortened for the test
    ASSERT_NE(update.find(giveUp), std::string::npos);
    update.replace(update.find(giveUp), giveUp.size(), R"(data-give-up-after-seconds="1")");
    auto applet = host.connect();
    ASSERT_TRUE(applet->registration("com.example.app", "Kesh Vistrel") &&
                applet->content("update.html", update) && applet->index("update.html"));
    const std::string display = open();
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluateInFrame(display, "document.body.innerText").find("Target the player") !=
               std::string::npos;
    }));

    applet.reset();
    EXPECT_TRUE(says(display, "applet-gone"));
    EXPECT_NE(chrome->evaluate(display, textOf("appletGone")).find("Kesh Vistrel has disconnected"),
              std::string::npos);
    picture(display, "display-applet-gone");
    const std::string port = std::to_string(host.port());
    host.process().stop(SIGTERM);
    EXPECT_TRUE(says(display, "host-gone"));
    picture(display, "display-host-gone");
    host.restart({"--http", "0.0.0.0:" + port}); // and for phones now, at the same port
    ASSERT_TRUE(host.ready()) << host.log();
    EXPECT_TRUE(says(display, "applet-gone", 20s))
        << "back with the host, which the applet has not joined yet";
    applet = host.connect();
    ASSERT_TRUE(applet->registration("com.example.app", "Kesh Vistrel") &&
                applet->content("vistrel.html", readFileText(KESH_APP_RESOURCES "/vistrel.html")) &&
                applet->index("vistrel.html"));
    EXPECT_TRUE(waitUntil([&] {
        return chrome->evaluateInFrame(
                   display, "location.pathname.endsWith('/vistrel.html') && document.readyState") ==
                   "complete" &&
               chrome->evaluate(display, "document.body.dataset.state") == "showing";
    }));
    picture(display, "display-page");

    // Ready for a home screen: the manifest reads without a fault; it and its icons come without the token.
    const auto manifest = chrome->call("Page.getAppManifest", nlohmann::json::object(), display);
    EXPECT_TRUE(manifest && (*manifest)["errors"].empty() && (*manifest)["data"] != "")
        << chrome->lastError();
    EXPECT_EQ(chrome->evaluate(display,
                               "fetch('/manifest.webmanifest', {credentials: 'omit'}).then((r) => r.json())"
                               ".then((m) => Promise.all(m.icons.map((i) => fetch(i.src, {credentials: "
                               "'omit'}).then((r) => r.ok && r.headers.get('content-type') === i.type))))"),
              "[true,true]");
    picture(chrome->openPage(host.url() + "overview"), "overview");
}
