#include "AppletStore.h"
#include "FileNames.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kesh::host;
namespace fs = std::filesystem;

namespace {

// A fresh data folder with an applet "app" registered in it.
struct StoreWithApplet {
    kv::testsupport::TemporaryFolder temp;
    fs::path root = temp.path() / "data";
    AppletStore store{root};
    std::string key = store.registerApplet([] {
        HostMessage m;
        m.identifier = "app";
        return m;
    }());
    fs::path files = root / key / "files";
};

HostMessage content(const std::string& name, const std::string& body) {
    HostMessage m;
    m.type = MessageType::Content;
    m.fileName = name;
    m.payload.assign(body.begin(), body.end());
    return m;
}

HostMessage index(const std::string& name) {
    HostMessage m;
    m.type = MessageType::Index;
    m.fileName = name;
    return m;
}

HostMessage fileByPath(const std::string& path) {
    HostMessage m;
    m.type = MessageType::File;
    m.fileName = "copy";
    m.filePath = path;
    return m;
}

HostMessage tagContent(const std::string& selector, bool byClass, const std::string& text) {
    HostMessage m;
    m.type = MessageType::TagContent;
    m.tag = selector;
    m.byClass = byClass;
    m.payload.assign(text.begin(), text.end());
    return m;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(FileNames, OnlyPlainNamesInsideTheFolderAreSafe) {
    for (const char* bad : {"", ".", "..", "../x", "a/b", "/etc/passwd", "a\\b", "x/..", "dir/"}) {
        EXPECT_FALSE(isSafeFileName(bad)) << bad;
    }
    EXPECT_FALSE(isSafeFileName(std::string("a\0b", 3)));
    EXPECT_FALSE(isSafeFileName(std::string(256, 'a')));
    for (const char* good : {"update.html", "..hidden", "a b.gif", "wow.gif", "\xC3\xA9t\xC3\xA9.html"}) {
        EXPECT_TRUE(isSafeFileName(good)) << good;
    }
}

TEST(FileNames, AppletKeysAreDistinctSafeFolderNames) {
    EXPECT_EQ(appletKeyFor("com.example.app"), "com.example.app");
    EXPECT_EQ(appletKeyFor(".."), "%2E.");
    EXPECT_EQ(appletKeyFor("a/b"), "a%2Fb");
    EXPECT_NE(appletKeyFor("a/b"), appletKeyFor("a_b"));
    EXPECT_NE(appletKeyFor("a%2Fb"), appletKeyFor("a/b"));
    EXPECT_TRUE(isSafeFileName(appletKeyFor(std::string(384, '/'))));
}

TEST(AppletStore, RefusesFileNamesThatLeaveTheAppletsFolder) {
    StoreWithApplet t;
    for (const char* name : {"../escaped.html", "..", "/tmp/abs.html", "sub/x.html"}) {
        std::string problem;
        EXPECT_FALSE(t.store.apply(t.key, content(name, "x"), problem)) << name;
        EXPECT_NE(problem.find("refused"), std::string::npos) << problem;
        EXPECT_FALSE(t.store.apply(t.key, index(name), problem)) << name;
    }
    EXPECT_FALSE(fs::exists(t.root / "escaped.html"));
    EXPECT_FALSE(fs::exists(t.root / t.key / "escaped.html"));
    EXPECT_FALSE(t.store.readFile("..", "data"));
    EXPECT_FALSE(t.store.readFile(t.key, "../../etc"));
}

TEST(AppletStore, StoresContentCopiesFilesAndConvertsBitmapsToPng) {
    StoreWithApplet t;
    std::string problem;
    ASSERT_TRUE(t.store.apply(t.key, content("page.html", "<p>hi</p>"), problem)) << problem;
    const fs::path source = t.temp.path() / "source.gif";
    std::ofstream(source) << "GIF89a";
    ASSERT_TRUE(t.store.apply(t.key, fileByPath(source.string()), problem)) << problem;
    fs::remove(source); // copied at once, so the original may go

    HostMessage image;
    image.type = MessageType::Image;
    image.fileName = "dot.png";
    image.width = 2;
    image.height = 1;
    image.payload = {255, 0, 0, 255, 0, 255, 0, 128};
    ASSERT_TRUE(t.store.apply(t.key, image, problem)) << problem;

    EXPECT_EQ(readText(t.files / "page.html"), "<p>hi</p>");
    EXPECT_EQ(readText(t.files / "copy"), "GIF89a");
    EXPECT_EQ(readText(t.files / "dot.png").substr(1, 3), "PNG");
    EXPECT_EQ(t.store.applet(t.key)->files.size(), 3u);
    EXPECT_TRUE(fs::is_empty(t.root / t.key / "tmp")) << "temporary files left behind";
}

// A file named by path is copied only when it is a regular file within the
// limit when it is read, whatever it was a moment before.
TEST(AppletStore, CopiesOnlyARegularFileOfLimitedSizeWhateverThePathTurnsInto) {
    StoreWithApplet t;
    const fs::path fifo = t.temp.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path huge = t.temp.path() / "huge";
    std::ofstream(huge).close();
    fs::resize_file(huge, AppletStore::kMaxCopiedFile + 1); // sparse: no disk used
    for (const std::string& path :
         {fifo.string(), std::string("/dev/zero"), std::string("relative.txt"), t.temp.path().string(),
          (t.temp.path() / "missing").string(), huge.string(), std::string("/proc/self/pagemap"),
          std::string("/proc/self/mem")}) {
        std::string problem;
        EXPECT_FALSE(t.store.apply(t.key, fileByPath(path), problem)) << path;
        EXPECT_FALSE(fs::exists(t.files / "copy")) << path;
    }

    // The path flips between a small file and a link to a huge one while it is copied.
    const fs::path small = t.temp.path() / "small";
    std::ofstream(small) << "small";
    const fs::path flipping = t.temp.path() / "flipping";
    fs::copy_file(small, flipping);
    std::atomic<bool> done{false};
    std::thread flipper([&] {
        for (bool toHuge = true; !done; toHuge = !toHuge) {
            const fs::path next = t.temp.path() / "next";
            if (toHuge) {
                fs::create_symlink(huge, next);
            } else {
                fs::copy_file(small, next);
            }
            fs::rename(next, flipping);
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::string problem;
        if (t.store.apply(t.key, fileByPath(flipping.string()), problem)) {
            EXPECT_EQ(readText(t.files / "copy"), "small");
        }
    }
    done = true;
    flipper.join();
}

TEST(AppletStore, AFailedWriteIsReportedAndLeavesNoTemporaryFileBehind) {
    StoreWithApplet t;
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const rlimit small{1000, before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    std::string problem;
    EXPECT_FALSE(t.store.apply(t.key, content("big.bin", std::string(5000, 'x')), problem));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(problem.find("big.bin"), std::string::npos) << problem;
    EXPECT_FALSE(fs::exists(t.files / "big.bin"));
    EXPECT_TRUE(fs::is_empty(t.root / t.key / "tmp"));
}

TEST(AppletStore, ShowsThePageWithItsEditsAndStartsAfreshOnANewIndex) {
    StoreWithApplet t;
    std::vector<DisplayChange> seen;
    t.store.setListener([&](const SharedChange& c) { seen.push_back(*c); });
    std::string problem;
    ASSERT_TRUE(t.store.apply(
        t.key, content("a.html", R"(<h1 id="t">old</h1><p class="c"></p><p class="c"></p>)"), problem));
    EXPECT_FALSE(t.store.apply(t.key, tagContent("t", false, "x"), problem)) << "no page is shown yet";
    ASSERT_TRUE(t.store.apply(t.key, index("a.html"), problem));
    ASSERT_TRUE(t.store.apply(t.key, tagContent("t", false, "new"), problem));
    const auto shown = t.store.readFile(t.key, "a.html");
    ASSERT_TRUE(shown && shown->shownPage);
    EXPECT_EQ(shown->bytes, R"(<h1 id="t">new</h1><p class="c"></p><p class="c"></p>)");
    EXPECT_EQ(shown->edits, 1u);
    // The stored file keeps what the applet sent.
    EXPECT_EQ(readText(t.files / "a.html"), R"(<h1 id="t">old</h1><p class="c"></p><p class="c"></p>)");

    // The page in memory has a limit: an edit past it is refused and changes nothing.
    const std::string half(AppletStore::kMaxShownPage / 2 + 1, 'x');
    EXPECT_FALSE(t.store.apply(t.key, tagContent("c", true, half), problem));
    EXPECT_EQ(t.store.readFile(t.key, "a.html")->bytes, shown->bytes);

    // Sending the shown page again shows the new text without the old edits.
    ASSERT_TRUE(t.store.apply(t.key, content("a.html", R"(<h1 id="t">again</h1>)"), problem));
    EXPECT_EQ(t.store.readFile(t.key, "a.html")->bytes, R"(<h1 id="t">again</h1>)");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].edits, 1u);
    EXPECT_EQ(seen[2].kind, DisplayChange::Kind::Page);
    EXPECT_GT(seen[2].pageVersion, seen[0].pageVersion);
    t.store.withSnapshot([&](const DisplaySnapshot& s) {
        EXPECT_EQ(s.activeApplet, t.key);
        EXPECT_EQ(s.pages.at(t.key).edits, 0u);
    });
}
