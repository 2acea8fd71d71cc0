// kesh-host as a child process, with applets on its socket: the test's own, and the example on the SDK.
#include "HostUnderTest.h"

#include <gtest/gtest.h>
#include <png.h>

#include <arpa/inet.h>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <regex>
#include <set>
#include <sstream>

using namespace kesh::test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// A PNG's pixels as RGBA bytes, with its width; empty on failure.
std::vector<unsigned char> readPng(const std::string& path, unsigned& width) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> rgba;
    if (png_image_begin_read_from_file(&image, path.c_str())) {
        image.format = PNG_FORMAT_RGBA;
        rgba.resize(PNG_IMAGE_SIZE(image));
        width = image.width;
        png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr);
    }
    return rgba;
}

// This machine's IPv4 addresses that a phone could reach: up, neither loopback nor link-local.
std::set<std::string> ownNetworkAddresses() {
    std::set<std::string> found;
    ifaddrs* list = nullptr;
    ::getifaddrs(&list);
    for (const ifaddrs* e = list; e != nullptr; e = e->ifa_next) {
        char text[INET_ADDRSTRLEN] = {};
        if (e->ifa_addr != nullptr && e->ifa_addr->sa_family == AF_INET && (e->ifa_flags & IFF_UP) != 0 &&
            (e->ifa_flags & IFF_LOOPBACK) == 0 &&
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(e->ifa_addr)->sin_addr, text, 16) &&
            !std::string(text).starts_with("169.254.")) {
            found.insert(text);
        }
    }
    ::freeifaddrs(list);
    return found;
}

// The QR code drawn in the host's output as a bitmap, 4 pixels a module: the
// ink of a glyph (" ", "\u2584", "\u2580", "\u2588") is a dark module, as a terminal shows it.
void writePrintedCodeAsPbm(const std::string& output, const std::string& path) {
    std::string pixels;
    std::size_t width = 0;
    std::istringstream lines(output);
    for (std::string line, upper, lower; std::getline(lines, line); upper.clear(), lower.clear()) {
        std::size_t i = 0;
        for (; i < line.size() && (line[i] == ' ' || line.compare(i, 2, "\xE2\x96") == 0);
             i += line[i] == ' ' ? 1 : 3) {
            const char glyph = line[i] == ' ' ? ' ' : line[i + 2];
            upper += std::string(4, glyph == '\x80' || glyph == '\x88' ? '1' : '0');
            lower += std::string(4, glyph == '\x84' || glyph == '\x88' ? '1' : '0');
        }
        for (int row = 0; row < 8 && i == line.size() && !upper.empty(); ++row) {
            pixels += (row < 4 ? upper : lower) + "\n";
            width = upper.size();
        }
    }
    std::ofstream(path) << "P1\n"
                        << width << " " << std::count(pixels.begin(), pixels.end(), '\n') << "\n"
                        << pixels;
}

class HostWithApplets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.ready()) << host.log(); }
    HostUnderTest host;
};

} // namespace

TEST_F(HostWithApplets, StoresEveryKindOfMessageShowsTheEditedPageAndKeepsEverythingPrivate) {
    const std::string source = host.home() + "/source.gif";
    std::ofstream(source, std::ios::binary) << "GIF89a-source";
    auto applet = host.connect();
    ASSERT_TRUE(
        applet->registration("com.example.all", "All <b>Kinds</b>", true) &&
        applet->file("wow.gif", source) && applet->image("dot.png", 3, 2) &&
        applet->content("page.html", R"(<h1 id="title">Old</h1><p class="note">n</p><img id="pic">)") &&
        applet->index("page.html") && applet->tagContent(false, "title", "New \xC3\xA9") &&
        applet->tagContent(true, "note", "<b>bold</b>") && applet->property(false, "pic", "src", "dot.png") &&
        applet->property(true, "note", "style", "color: red"));

    const std::string key = "com.example.all";
    ASSERT_TRUE(waitUntil([&] { return host.applet(key)["shownPage"] == "page.html"; })) << host.log();
    const json info = host.applet(key);
    std::map<std::string, std::string> urls;
    for (const auto& file : info["files"]) {
        urls[file["name"]] = file["url"];
    }
    const std::string expectedPage =
        "<h1 id=\"title\">New \xC3\xA9</h1><p class=\"note\" style=\"color: red\">"
        "<b>bold</b></p><img id=\"pic\" src=\"dot.png\">";
    std::string served;
    EXPECT_TRUE(waitUntil([&] {
        auto page = host.client(false).Get(urls["page.html"]);
        return (served = page ? page->body : "").ends_with(expectedPage);
    })) << served;
    EXPECT_TRUE(info["hasIcon"]);
    const auto overview = host.client().Get("/overview");
    ASSERT_TRUE(overview);
    EXPECT_NE(overview->body.find("All &lt;b&gt;Kinds&lt;/b&gt;"), std::string::npos)
        << "names are shown as text";
    EXPECT_NE(overview->body.find(urls["wow.gif"]), std::string::npos);
    EXPECT_EQ(readFileText(host.filesFolder(key) + "/wow.gif"), "GIF89a-source");

    // Pixel (2, 1) of the applet's pattern: R = x, G = y, B = x + y, A = 255.
    unsigned width = 0;
    const auto dot = readPng(host.filesFolder(key) + "/dot.png", width);
    ASSERT_EQ(dot.size(), 3u * 2 * 4);
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(std::vector<unsigned char>(dot.begin() + 20, dot.end()),
              (std::vector<unsigned char>{2, 1, 3, 255}));
    EXPECT_EQ(readPng(host.dataFolder() + "/" + key + "/icon.png", width).size(), 144u * 144 * 4);

    // Other users of the machine see nothing: no folder or file of the host is open to them.
    const auto open = [](const fs::path& p) {
        return (fs::symlink_status(p).permissions() & (fs::perms::group_all | fs::perms::others_all)) !=
               fs::perms::none;
    };
    for (const std::string& top : {host.dataFolder(), host.stateFolder(), host.home() + "/Halvorin"}) {
        EXPECT_FALSE(open(top)) << top;
        for (const auto& entry : fs::recursive_directory_iterator(top)) {
            EXPECT_FALSE(open(entry.path())) << entry.path();
        }
    }
}

TEST_F(HostWithApplets, MalformedMessagesCloseOnlyTheirOwnConnection) {
    auto applet = host.connect();
    ASSERT_TRUE(applet->registration("com.example.calm", "Calm"));
    for (const Wire& bad : {Wire(7, 8).u32(4, 0xFFFFFFFF), Wire(5, 1032).u32(4, 0xFFFFFFFF), Wire(42, 16)}) {
        auto garbage = host.connect();
        ASSERT_TRUE(garbage->send(bad));
        EXPECT_TRUE(garbage->closedByHost()) << "the host should close the connection";
    }
    EXPECT_NE(host.log().find("closing the connection: index message"), std::string::npos) << host.log();
    ASSERT_TRUE(applet->content("after.html", "still here"));
    EXPECT_TRUE(waitUntil(
        [&] { return readFileText(host.filesFolder("com.example.calm") + "/after.html") == "still here"; }));
}

TEST_F(HostWithApplets, TheExampleAppletOnTheRealSdkIsShown) {
#ifndef KESH_EXAMPLE_APPLET_PROGRAM
    GTEST_SKIP() << "the example applet is not built";
#else
    ChildProcess example({KESH_EXAMPLE_APPLET_PROGRAM}, {{{"XDG_DATA_HOME", host.home()}}, "", {}, {}});
    const auto status = example.wait(20s);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << host.log();
    EXPECT_TRUE(waitUntil([&] {
        return host.applet("com.example.keshvistrel.applet")["shownPage"] == "hello.html";
    })) << host.log();
    unsigned width = 0;
    EXPECT_EQ(readPng(host.filesFolder("com.example.keshvistrel.applet") + "/square.rgba", width).size(),
              16u * 16 * 4);
#endif
}

TEST_F(HostWithApplets, ASecondHostIsRefusedAndARestartKeepsTheTokenUnlessAskedForANewOne) {
    // Never on another host's socket or port, nor in place of a file; the reason is given.
    const std::string port = std::to_string(host.port());
    const std::string file = host.home() + "/precious";
    std::ofstream(file) << "precious";
    for (const auto& [http, socket, reason] : std::vector<std::array<std::string, 3>>{
             {"127.0.0.1:0", host.socketPath(), "another host is already listening"},
             {"127.0.0.1:" + port, host.home() + "/s", "port " + port + " is taken"},
             {"127.0.0.1:0", file, "not a socket"},
             {"127.0.0.1:0", host.home() + "/" + std::string(120, 'x'), "too long"}}) {
        const std::string output = host.home() + "/second.log";
        ChildProcess second(
            {KESH_HOST_PROGRAM, "--http", http, "--socket", socket, "--state", host.home() + "/2"},
            {{}, output, {}, {}});
        const auto status = second.wait(20s);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
        EXPECT_NE(readFileText(output).find(reason), std::string::npos) << readFileText(output);
        std::remove(output.c_str());
    }
    EXPECT_EQ(readFileText(file), "precious");

    const std::string token = host.token();
    const auto stopped = host.process().stop(SIGTERM);
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(WIFEXITED(*stopped) && WEXITSTATUS(*stopped) == 0);
    EXPECT_FALSE(fs::exists(host.socketPath())) << "socket file left behind";
    EXPECT_FALSE(fs::exists(host.stateFolder() + "/display.json")) << "display.json left behind";

    fs::permissions(host.home() + "/Halvorin", fs::perms::all); // anyone could plant a socket there
    host.restart();
    ASSERT_TRUE(host.ready()) << host.log();
    EXPECT_EQ(host.token(), token) << "a bookmarked address must keep working";
    EXPECT_EQ(fs::status(host.home() + "/Halvorin").permissions(), fs::perms::owner_all);
    host.process().stop(SIGKILL); // leaves its socket file behind, which the next host replaces
    host.restart({"--new-token"});
    ASSERT_TRUE(host.ready()) << host.log();
    EXPECT_NE(host.token(), token);
    EXPECT_EQ(readFileText(host.stateFolder() + "/token"), host.token());
    auto old = host.client(false).Get("/state", {{"Cookie", "kesh_token=" + token}});
    ASSERT_TRUE(old);
    EXPECT_EQ(old->status, 403);
}

// Every address of this machine with the token, the best as QR codes; requests go to 127.0.0.1 only,
// carrying the network address as their Host. Without Avahi the host says so once and serves.
TEST(HostOnTheNetwork, PrintsThisMachinesAddressesWithTheTokenAndTheirQrCode) {
    HostUnderTest host({"--lan"});
    ASSERT_TRUE(host.ready()) << host.log();
    const std::string log = host.log();
    const auto unannounced = log.find("not announced on the local network (mDNS)");
    EXPECT_TRUE(unannounced != std::string::npos && unannounced == log.rfind("not announced")) << log;
    const std::string port = std::to_string(host.port());
    const std::regex printed("(display|also) at http://([0-9.]+):" + port + "/\\?token=" + host.token() +
                             "\n");
    std::set<std::string> addresses;
    for (std::sregex_iterator it(log.begin(), log.end(), printed), end; it != end; ++it) {
        addresses.insert((*it)[2]);
    }
    EXPECT_EQ(addresses, ownNetworkAddresses()) << log;
    if (addresses.empty()) {
        GTEST_SKIP() << "this machine has no network address to print";
    }
    const std::string url = json::parse(readFileText(host.stateFolder() + "/display.json"))["url"];
    EXPECT_NE(log.find("Companion display at " + url + "\n"), std::string::npos) << log;
    writePrintedCodeAsPbm(log, host.home() + "/printed.pbm");
    EXPECT_EQ(decodeQr(host.home() + "/printed.pbm"), url);

    const httplib::Headers lan{{"Host", url.substr(7, url.find('/', 7) - 7)}};
    auto overview = host.client().Get("/overview", lan);
    auto code = host.client().Get("/address.png", lan);
    ASSERT_TRUE(overview && code && overview->body.find(R"(<img src="/address.png")") != std::string::npos);
    std::ofstream(host.home() + "/overview.png", std::ios::binary) << code->body;
    EXPECT_EQ(decodeQr(host.home() + "/overview.png"), url);
    EXPECT_EQ(host.client().Get("/state", {{"Host", "203.0.113.77:" + port}})->status, 421)
        << "an address that is not this machine's";
}
