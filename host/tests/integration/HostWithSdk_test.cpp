// kesh-host against applets that use the real SDK, each in its own process.
#include "HostUnderTest.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kesh::test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string bytePattern(std::size_t count, int seed) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>((i * 131 + std::size_t(seed)) % 251);
    }
    return bytes;
}

// Decodes a PNG into RGBA bytes; empty on failure.
std::vector<unsigned char> readPng(const std::string& path, int& width, int& height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        return {};
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return rgba;
}

json appletState(const HostUnderTest& host, const std::string& key) {
    const json state = host.state();
    if (state.is_object()) {
        for (const auto& applet : state["applets"]) {
            if (applet["key"] == key) {
                return applet;
            }
        }
    }
    return nullptr;
}

bool fileHolds(const std::string& path, const std::string& expected) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && std::size_t(info.st_size) == expected.size() &&
           readFileText(path) == expected;
}

class HostWithSdk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.ready()) << host.log(); }
    HostUnderTest host;
};

} // namespace

TEST_F(HostWithSdk, StoresEveryKindOfMessageShowsTheEditedPageAndKeepsEverythingPrivate) {
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init-icon com.example.all\tAll <b>Kinds</b>"), "ok init-icon");
    const std::string source = host.home() + "/source.gif";
    std::ofstream(source, std::ios::binary) << "GIF89a-source";
    ASSERT_EQ(command(*applet, "file " + source + "\twow.gif\timage/gif"), "ok file");
    ASSERT_EQ(command(*applet, "image dot.png\t3\t2"), "ok image");
    ASSERT_EQ(command(*applet, "content page.html\t<h1 id=\"title\">Old</h1><p class=\"note\">n</p>"
                               "<img id=\"pic\" src=\"wow.gif\">"),
              "ok content");
    ASSERT_EQ(command(*applet, "index page.html"), "ok index");
    ASSERT_EQ(command(*applet, "content-id title\tNew \xC3\xA9"), "ok content-id");
    ASSERT_EQ(command(*applet, "content-class note\t<b>bold</b>"), "ok content-class");
    ASSERT_EQ(command(*applet, "prop-id pic\tsrc\tdot.png"), "ok prop-id");
    ASSERT_EQ(command(*applet, "prop-class note\tstyle\tcolor: red"), "ok prop-class");

    const std::string key = "com.example.all";
    ASSERT_TRUE(waitUntil([&] {
        const json applet = appletState(host, key);
        return applet.is_object() && applet["shownPage"] == "page.html";
    })) << host.log();
    const json info = appletState(host, key);
    EXPECT_EQ(info["friendlyName"], "All <b>Kinds</b>");
    const auto overview = host.client().Get("/overview");
    ASSERT_TRUE(overview);
    EXPECT_NE(overview->body.find("All &lt;b&gt;Kinds&lt;/b&gt;"), std::string::npos)
        << "names are shown as text";
    const auto urlOf = [&](const std::string& name) {
        for (const auto& file : info["files"]) {
            if (file["name"] == name) {
                return file["url"].get<std::string>();
            }
        }
        return std::string("none");
    };
    const std::string wowUrl = urlOf("wow.gif");
    EXPECT_NE(overview->body.find(wowUrl), std::string::npos);
    EXPECT_TRUE(info["hasIcon"]);
    EXPECT_NE(info["executablePath"].get<std::string>().find("kesh-test-applet"), std::string::npos);

    const std::string expectedPage =
        "<h1 id=\"title\">New \xC3\xA9</h1><p class=\"note\" style=\"color: red\"><b>bold</b></p>"
        "<img id=\"pic\" src=\"dot.png\">";
    const std::string pageUrl = urlOf("page.html");
    std::string served;
    ASSERT_TRUE(waitUntil([&] {
        auto page = host.client(false).Get(pageUrl);
        served = page ? page->body : "";
        return served.ends_with(expectedPage);
    })) << served;
    EXPECT_TRUE(fileHolds(host.filesFolder(key) + "/wow.gif", "GIF89a-source"));

    int width = 0;
    int height = 0;
    const auto dot = readPng(host.filesFolder(key) + "/dot.png", width, height);
    ASSERT_EQ(dot.size(), 3u * 2 * 4);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    // Pixel (2, 1) of the applet's pattern: R = x, G = y, B = x + y, A = 255.
    EXPECT_EQ(dot[(1 * 3 + 2) * 4 + 0], 2);
    EXPECT_EQ(dot[(1 * 3 + 2) * 4 + 1], 1);
    EXPECT_EQ(dot[(1 * 3 + 2) * 4 + 2], 3);
    EXPECT_EQ(dot[(1 * 3 + 2) * 4 + 3], 255);
    const auto icon = readPng(host.dataFolder() + "/" + key + "/icon.png", width, height);
    ASSERT_EQ(icon.size(), 144u * 144 * 4);
    EXPECT_EQ(icon[(143 * 144 + 100) * 4 + 2], static_cast<unsigned char>(243));

    // Other users of the machine see nothing: no folder or file of the host is open to them.
    for (const std::string& top : {host.dataFolder(), host.stateFolder(), host.home() + "/Halvorin"}) {
        EXPECT_EQ(fs::status(top).permissions() & (fs::perms::group_all | fs::perms::others_all),
                  fs::perms::none)
            << top;
        for (const auto& entry : fs::recursive_directory_iterator(top)) {
            EXPECT_EQ(entry.symlink_status().permissions() & (fs::perms::group_all | fs::perms::others_all),
                      fs::perms::none)
                << entry.path();
        }
    }
}

TEST_F(HostWithSdk, AMegabyteOfContentArrivesIntactAcrossContinuationChunks) {
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init com.example.big\tBig"), "ok init");
    ASSERT_EQ(command(*applet, "bytes big.bin\t1000000\t7"), "ok bytes");
    ASSERT_EQ(command(*applet, "bytes edge.bin\t300001\t3"), "ok bytes");
    const std::string folder = host.filesFolder("com.example.big");
    EXPECT_TRUE(waitUntil([&] { return fileHolds(folder + "/edge.bin", bytePattern(300001, 3)); }, 20s));
    EXPECT_TRUE(fileHolds(folder + "/big.bin", bytePattern(1000000, 7)));
}

TEST_F(HostWithSdk, EightAppletsAtOnceEachKeepTheirOwnFiles) {
    std::vector<std::unique_ptr<ChildProcess>> applets;
    for (int i = 0; i < 8; ++i) {
        applets.push_back(host.startApplet());
        applets.back()->writeLine("init com.example.a" + std::to_string(i) + "\tApplet " + std::to_string(i));
    }
    // All eight send at the same time: every command goes out before any answer is read.
    for (int i = 0; i < 8; ++i) {
        applets[std::size_t(i)]->writeLine("bytes data.bin\t200000\t" + std::to_string(i));
        applets[std::size_t(i)]->writeLine("content page.html\t<p>applet " + std::to_string(i) + "</p>");
        applets[std::size_t(i)]->writeLine("index page.html");
    }
    for (auto& applet : applets) {
        for (const char* expected : {"ok init", "ok bytes", "ok content", "ok index"}) {
            EXPECT_EQ(applet->readLine(30s).value_or("nothing"), expected);
        }
    }
    for (int i = 0; i < 8; ++i) {
        const std::string folder = host.filesFolder("com.example.a" + std::to_string(i));
        EXPECT_TRUE(waitUntil(
            [&] {
                return fileHolds(folder + "/page.html", "<p>applet " + std::to_string(i) + "</p>") &&
                       fileHolds(folder + "/data.bin", bytePattern(200000, i));
            },
            20s))
            << "applet " << i;
    }
    EXPECT_TRUE(waitUntil([&] {
        const json state = host.state();
        return state.is_object() && state["applets"].size() == 8;
    }));
}

TEST_F(HostWithSdk, AClientSendingGarbageIsCutOffWhileAnAppletGoesOn) {
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init com.example.calm\tCalm"), "ok init");

    const int garbage = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, host.socketPath().c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(garbage, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A header claiming an index message of 4 GiB.
    const unsigned char header[8] = {7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(::send(garbage, header, sizeof header, MSG_NOSIGNAL), 8);
    timeval wait{10, 0};
    ::setsockopt(garbage, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char byte = 0;
    EXPECT_EQ(::recv(garbage, &byte, 1, 0), 0) << "the host should close the connection";
    ::close(garbage);
    EXPECT_TRUE(waitUntil([&] {
        return host.log().find("closing the connection: index message") != std::string::npos;
    })) << host.log();

    ASSERT_EQ(command(*applet, "content after.html\tstill here"), "ok content");
    EXPECT_TRUE(waitUntil(
        [&] { return fileHolds(host.filesFolder("com.example.calm") + "/after.html", "still here"); }));
}

TEST_F(HostWithSdk, TheAppletCallbackReceivesTheRecordsTheHostSends) {
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init com.example.ears\tEars"), "ok init");
    ASSERT_TRUE(waitUntil([&] { return appletState(host, "com.example.ears").is_object(); }));

    EXPECT_EQ(host.sendRecord({{"applet", "com.example.ears"}, {"recordType", 0}}), 1) << host.log();
    EXPECT_EQ(host.sendRecord(
                  {{"applet", "com.example.ears"}, {"eventType", 7}, {"eventValue", -42}, {"arg", "hello"}}),
              1);
    EXPECT_EQ(applet->readLineStartingWith("record").value_or("none"), "record 7 -42 hello")
        << "the keep-alive before it makes no callback";

    ASSERT_EQ(command(*applet, "content tap.html\t<p id=\"b\">tap me</p>"), "ok content");
    ASSERT_EQ(command(*applet, "index tap.html"), "ok index");
    ASSERT_TRUE(waitUntil([&] { return appletState(host, "com.example.ears")["shownPage"] == "tap.html"; }));
    auto tap = host.client().Post("/event/tap", R"({"x": 12, "y": 34, "id": "b"})", "application/json");
    ASSERT_TRUE(tap);
    ASSERT_TRUE(tap);
    EXPECT_EQ(json::parse(tap->body)["sent"], 1);
    EXPECT_EQ(applet->readLineStartingWith("record").value_or("none"),
              R"(record 1 0 {"id":"b","x":12,"y":34})");
}

TEST_F(HostWithSdk, ASecondHostIsRefusedAndARestartKeepsTheTokenUnlessAskedForANewOne) {
    ChildProcess::Options options;
    options.environment["XDG_DATA_HOME"] = host.home();
    options.stderrPath = host.home() + "/second.log";
    ChildProcess second({KESH_HOST_PROGRAM, "--http", "127.0.0.1:0", "--state", host.home() + "/second"},
                        options);
    const auto status = second.wait(20s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0);
    EXPECT_NE(readFileText(host.home() + "/second.log").find("another host is already listening"),
              std::string::npos);

    const std::string token = host.token();
    const auto stopped = host.process().stop(SIGTERM);
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(WIFEXITED(*stopped) && WEXITSTATUS(*stopped) == 0);
    EXPECT_FALSE(fs::exists(host.socketPath())) << "socket file left behind";
    EXPECT_FALSE(fs::exists(host.stateFolder() + "/display.json")) << "display.json left behind";

    host.restart();
    ASSERT_TRUE(host.ready()) << host.log();
    EXPECT_EQ(host.token(), token) << "a bookmarked address must keep working";
    host.process().stop(SIGTERM);
    host.restart({"--new-token"});
    ASSERT_TRUE(host.ready()) << host.log();
    EXPECT_NE(host.token(), token);
    EXPECT_EQ(readFileText(host.stateFolder() + "/token"), host.token());
    auto client = host.client(false);
    auto old = client.Get("/state", {{"Cookie", "kesh_token=" + token}});
    ASSERT_TRUE(old);
    EXPECT_EQ(old->status, 403);
}
