#include "AppletStore.h"
#include "ChildProcess.h"
#include "FileNames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace kesh::host;
namespace fs = std::filesystem;

namespace {

using kesh::test::TempFolder;

HostMessage registration(const std::string& identifier) {
    HostMessage m;
    m.type = MessageType::Registration;
    m.identifier = identifier;
    m.friendlyName = "Test";
    return m;
}

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
    TempFolder temp;
    AppletStore store(fs::path(temp.path()) / "data");
    const std::string key = store.registerApplet(registration("app"));
    for (const char* name : {"../escaped.html", "..", "/tmp/abs.html", "sub/x.html"}) {
        std::string problem;
        EXPECT_FALSE(store.apply(key, content(name, "x"), problem)) << name;
        EXPECT_NE(problem.find("refused"), std::string::npos) << problem;
        HostMessage show = index(name);
        EXPECT_FALSE(store.apply(key, show, problem)) << name;
    }
    EXPECT_FALSE(fs::exists(fs::path(temp.path()) / "data" / "escaped.html"));
    EXPECT_FALSE(fs::exists(fs::path(temp.path()) / "data" / key / "escaped.html"));
    EXPECT_FALSE(store.readFile("..", "data"));
    EXPECT_FALSE(store.readFile(key, "../../etc"));
}

TEST(AppletStore, StoresContentCopiesFilesAndConvertsBitmapsToPng) {
    TempFolder temp;
    AppletStore store(fs::path(temp.path()) / "data");
    const std::string key = store.registerApplet(registration("app"));
    std::string problem;
    ASSERT_TRUE(store.apply(key, content("page.html", "<p>hi</p>"), problem)) << problem;

    const fs::path source = fs::path(temp.path()) / "source.gif";
    std::ofstream(source) << "GIF89a";
    HostMessage file;
    file.type = MessageType::File;
    file.fileName = "copy.gif";
    file.filePath = source.string();
    ASSERT_TRUE(store.apply(key, file, problem)) << problem;
    fs::remove(source); // copied at once, so the original may go

    HostMessage image;
    image.type = MessageType::Image;
    image.fileName = "dot.png";
    image.width = 2;
    image.height = 1;
    image.payload = {255, 0, 0, 255, 0, 255, 0, 128};
    ASSERT_TRUE(store.apply(key, image, problem)) << problem;

    const fs::path files = fs::path(temp.path()) / "data" / key / "files";
    EXPECT_EQ(readText(files / "page.html"), "<p>hi</p>");
    EXPECT_EQ(readText(files / "copy.gif"), "GIF89a");
    EXPECT_EQ(readText(files / "dot.png").substr(1, 3), "PNG");
    const auto info = store.applet(key);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->files.size(), 3u);
    EXPECT_TRUE(fs::is_empty(fs::path(temp.path()) / "data" / key / "tmp")) << "temporary files left behind";
}

TEST(AppletStore, RefusesToCopySpecialFilesAndRelativePaths) {
    TempFolder temp;
    AppletStore store(fs::path(temp.path()) / "data");
    const std::string key = store.registerApplet(registration("app"));
    const fs::path fifo = fs::path(temp.path()) / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo.string(), std::string("/dev/zero"), std::string("relative.txt"),
                                    (fs::path(temp.path()) / "missing").string()}) {
        HostMessage file;
        file.type = MessageType::File;
        file.fileName = "x";
        file.filePath = path;
        std::string problem;
        EXPECT_FALSE(store.apply(key, file, problem)) << path;
    }
}

TEST(AppletStore, ShowsThePageWithItsEditsAndStartsAfreshOnANewIndex) {
    TempFolder temp;
    AppletStore store(fs::path(temp.path()) / "data");
    std::vector<DisplayChange> seen;
    store.setListener([&](const DisplayChange& c) { seen.push_back(c); });
    const std::string key = store.registerApplet(registration("app"));
    std::string problem;
    ASSERT_TRUE(store.apply(key, content("a.html", R"(<h1 id="t">old</h1>)"), problem));
    HostMessage early;
    early.type = MessageType::TagContent;
    early.tag = "t";
    early.payload = {'x'};
    EXPECT_FALSE(store.apply(key, early, problem)) << "no page is shown yet";
    ASSERT_TRUE(store.apply(key, index("a.html"), problem));

    HostMessage edit;
    edit.type = MessageType::TagContent;
    edit.tag = "t";
    const std::string text = "new";
    edit.payload.assign(text.begin(), text.end());
    ASSERT_TRUE(store.apply(key, edit, problem));
    EXPECT_EQ(*store.readFile(key, "a.html"), R"(<h1 id="t">new</h1>)");
    // The stored file keeps what the applet sent.
    EXPECT_EQ(readText(fs::path(temp.path()) / "data" / key / "files" / "a.html"), R"(<h1 id="t">old</h1>)");

    store.withSnapshot([&](const DisplaySnapshot& s) {
        EXPECT_EQ(s.activeApplet, key);
        ASSERT_EQ(s.history.at(key).size(), 2u);
        EXPECT_EQ(s.history.at(key)[0].kind, DisplayChange::Kind::Page);
    });

    // Sending the shown page again shows the new text without the old edits.
    ASSERT_TRUE(store.apply(key, content("a.html", R"(<h1 id="t">again</h1>)"), problem));
    EXPECT_EQ(*store.readFile(key, "a.html"), R"(<h1 id="t">again</h1>)");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].kind, DisplayChange::Kind::Page);
    EXPECT_GT(seen[2].pageVersion, seen[0].pageVersion);
}
