#include "AppletStore.h"
#include "FileNames.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <set>
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

// A message naming `name` (a file, or a tag) with `text` as its payload and, for a file message, path.
HostMessage message(MessageType type, const std::string& name, const std::string& text = "",
                    bool byClass = false) {
    HostMessage m;
    m.type = type;
    m.fileName = m.tag = name;
    m.filePath = text;
    m.payload.assign(text.begin(), text.end());
    m.byClass = byClass;
    return m;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

// Only plain names of files in the applet's own folder are stored, shown or served.
TEST(AppletStore, RefusesFileNamesThatLeaveTheAppletsFolderAndKeysThatAreNotDistinctFolderNames) {
    StoreWithApplet t;
    for (const std::string& bad :
         std::vector<std::string>{"", ".", "..", "../escaped.html", "a/b", "/tmp/abs.html", "a\\b", "x/..",
                                  "dir/", std::string("a\0b", 3), std::string(256, 'a')}) {
        std::string problem;
        EXPECT_FALSE(t.store.apply(t.key, message(MessageType::Content, bad, "x"), problem)) << bad;
        EXPECT_NE(problem.find("refused"), std::string::npos) << problem;
        EXPECT_FALSE(t.store.apply(t.key, message(MessageType::Index, bad), problem)) << bad;
    }
    for (const char* good : {"update.html", "..hidden", "a b.gif", "\xC3\xA9t\xC3\xA9.html"}) {
        EXPECT_TRUE(isSafeFileName(good)) << good;
    }
    EXPECT_FALSE(fs::exists(t.root / "escaped.html"));
    EXPECT_FALSE(fs::exists(t.root / t.key / "escaped.html"));
    EXPECT_FALSE(t.store.readFile("..", "data"));
    EXPECT_FALSE(t.store.readFile(t.key, "../../etc"));
    std::set<std::string> keys;
    for (const std::string& id : {std::string(".."), std::string("a/b"), std::string("a_b"),
                                  std::string("a%2Fb"), std::string(384, '/'), std::string(385, '/')}) {
        EXPECT_TRUE(isSafeFileName(appletKeyFor(id))) << id;
        EXPECT_TRUE(keys.insert(appletKeyFor(id)).second) << id << " shares its folder";
    }
}

// A file named by path is copied only if it is a regular file within the limit as it is read.
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
        EXPECT_FALSE(t.store.apply(t.key, message(MessageType::File, "copy", path), problem)) << path;
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
        if (t.store.apply(t.key, message(MessageType::File, "copy", flipping.string()), problem)) {
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
    EXPECT_FALSE(
        t.store.apply(t.key, message(MessageType::Content, "big.bin", std::string(5000, 'x')), problem));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(problem.find("big.bin"), std::string::npos) << problem;
    EXPECT_FALSE(fs::exists(t.files / "big.bin"));
    EXPECT_TRUE(fs::is_empty(t.root / t.key / "tmp"));
}

TEST(AppletStore, ShowsThePageWithItsEditsAndStartsAfreshOnANewIndex) {
    StoreWithApplet t;
    std::string problem;
    const std::string page = R"(<h1 id="t">old</h1><p class="c"></p><p class="c"></p>)";
    ASSERT_TRUE(t.store.apply(t.key, message(MessageType::Content, "a.html", page), problem));
    EXPECT_FALSE(t.store.apply(t.key, message(MessageType::TagContent, "t", "x"), problem))
        << "no page is shown yet";
    ASSERT_TRUE(t.store.apply(t.key, message(MessageType::Index, "a.html"), problem));
    ASSERT_TRUE(t.store.apply(t.key, message(MessageType::TagContent, "t", "new"), problem));
    const auto shown = t.store.readFile(t.key, "a.html");
    ASSERT_TRUE(shown && shown->shownPage);
    EXPECT_EQ(shown->bytes, R"(<h1 id="t">new</h1><p class="c"></p><p class="c"></p>)");
    EXPECT_EQ(shown->edits, 1u);
    // The stored file keeps what the applet sent.
    EXPECT_EQ(readText(t.files / "a.html"), page);

    // The page in memory has a limit: an edit past it is refused and changes nothing.
    const std::string half(AppletStore::kMaxShownPage / 2 + 1, 'x');
    EXPECT_FALSE(t.store.apply(t.key, message(MessageType::TagContent, "c", half, true), problem));
    EXPECT_EQ(t.store.readFile(t.key, "a.html")->bytes, shown->bytes);

    // Sending the shown page again shows the new text without the old edits.
    ASSERT_TRUE(
        t.store.apply(t.key, message(MessageType::Content, "a.html", R"(<h1 id="t">again</h1>)"), problem));
    EXPECT_EQ(t.store.readFile(t.key, "a.html")->edits, 0u);
    EXPECT_EQ(t.store.readFile(t.key, "a.html")->bytes, R"(<h1 id="t">again</h1>)");
}
