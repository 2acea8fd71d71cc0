// kesh-host against what web pages, other users' programs and neighbours on the network may send it.
#include "HostUnderTest.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <thread>

using namespace kesh::test;

namespace {

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval wait{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

// Sends `request` and returns the status of the answer, 0 for none.
int statusOf(int fd, const std::string& request) {
    std::string answer;
    char buffer[64];
    ssize_t n = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    while (n > 0 && answer.find("\r\n") == std::string::npos && (n = ::recv(fd, buffer, 64, 0)) > 0) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer.starts_with("HTTP/1.1 ") ? std::stoi(answer.substr(9, 3)) : 0;
}

// Whether the host closes the connection (after whatever it answers).
bool closedByHost(int fd) {
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
    }
    return n == 0;
}

class HostUnderAttack : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.ready()) << host.log(); }
    ~HostUnderAttack() override {
        for (const int fd : sockets) {
            ::close(fd);
        }
    }
    // "METHOD /path" from this machine, with more header lines; Host and Content-Length unless given.
    std::string request(const std::string& line, const std::string& headers,
                        const std::string& body = "") const {
        const bool sized = line.starts_with("GET") || headers.find("Length:") != std::string::npos ||
                           headers.find("Transfer-Encoding:") != std::string::npos;
        return line + " HTTP/1.1\r\n" +
               (headers.find("Host:") == std::string::npos ? "Host: 127.0.0.1:" + port + "\r\n" : "") +
               headers + (sized ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n") + "\r\n" +
               body;
    }
    int status(const std::string& request) {
        sockets.push_back(connectTo(host.port()));
        return statusOf(sockets.back(), request);
    }

    HostUnderTest host;
    const std::string port = std::to_string(host.port());
    const std::string cookie = "Cookie: kesh_token=" + host.token() + "\r\n";
    const std::string json = "Content-Type: application/json\r\n";
    std::vector<int> sockets;
};

} // namespace

// And what a refused request carried never reaches the applet.
TEST_F(HostUnderAttack, EveryRouteRefusesARequestWithoutTheToken) {
    auto applet = host.connect();
    ASSERT_TRUE(applet->registration("com.example.a", "A", true) &&
                applet->content("p.html", "<p>page</p>") && applet->index("p.html"));
    ASSERT_TRUE(waitUntil([&] { return host.applet("com.example.a")["shownPage"] == "p.html"; }))
        << host.log();
    const std::string pageUrl = host.applet("com.example.a")["files"][0]["url"];

    for (const std::string route :
         {"GET /", "GET /overview", "GET /state", "GET /events", "GET /applets/com.example.a/",
          "GET /applets/com.example.a/icon.png", "GET /address.png", "GET /nothing", "POST /event/tap",
          "POST /control/send-record"}) {
        const int withToken = route == "GET /nothing" ? 404 : 200;
        const std::string body = route == "POST /event/tap" ? R"({"x": 12, "y": 34, "id": "b"})"
                                 : route.starts_with("POST")
                                     ? R"({"eventType": 7, "eventValue": -42, "arg": "hi"})"
                                     : "";
        EXPECT_EQ(status(request(route, json, body)), 403) << route;
        EXPECT_EQ(status(request(route, json + "Cookie: kesh_token=" + std::string(32, 'f') + "\r\n", body)),
                  403)
            << route << " with a wrong token";
        EXPECT_EQ(status(request(route, json + cookie, body)), withToken) << route;
    }
    EXPECT_EQ(applet->readRecord().value_or("none"), R"(record 1 0 {"id":"b","x":12,"y":34})");
    EXPECT_EQ(applet->readRecord().value_or("none"), "record 7 -42 hi");
    // An applet's files are reached by its file capability: the token alone does not do.
    EXPECT_EQ(status(request("GET " + pageUrl, "")), 200);
    EXPECT_EQ(status(request("GET /applets/com.example.a/files/" + std::string(32, '0') + "/p.html", cookie)),
              404);
}

TEST_F(HostUnderAttack, RefusesRequestsMeantForOtherSitesAndRequestsTooLargeToRead) {
    std::string headerLines;
    for (int i = 0; i < 65; ++i) {
        headerLines += "X-" + std::to_string(i) + ": x\r\n";
    }
    const std::vector<std::tuple<const char*, std::string, int>> cases = {
        {"a rebinding page", request("GET /state", "Host: evil.example:" + port + "\r\n" + cookie), 421},
        {"another port", request("GET /state", "Host: 127.0.0.1:1\r\n" + cookie), 421},
        {"a cross-site read", request("GET /state", "Origin: http://evil.example\r\n" + cookie), 403},
        {"a cross-site tap",
         request("POST /event/tap", "Origin: http://evil.example\r\n" + json + cookie, "{}"), 403},
        {"a sandboxed page's tap", request("POST /event/tap", "Origin: null\r\n" + json + cookie, "{}"), 403},
        {"a form's tap", request("POST /event/tap", "Content-Type: text/plain\r\n" + cookie, "{}"), 415},
        {"a record of no type", request("POST /control/send-record", cookie, "{}"), 415},
        {"the display's tap",
         request("POST /event/tap", "Origin: http://127.0.0.1:" + port + "\r\n" + json + cookie, "{}"), 200},
        {"a tool here", request("POST /control/send-record?token=" + host.token(), json, "{}"), 200},
        {"localhost", request("GET /state", "Host: localhost:" + port + "\r\n" + cookie), 200},
        {"a body of 64 KiB", request("POST /event/tap", json + cookie, std::string(64 * 1024, ' ')), 400},
        {"one byte more", request("POST /event/tap", json + cookie, std::string(64 * 1024 + 1, ' ')), 413},
        {"a claim of 1.5 GB", request("POST /event/tap", "Content-Length: 1500000000\r\n" + cookie), 413},
        {"a body of no length", request("POST /event/tap", "Transfer-Encoding: chunked\r\n" + cookie), 411},
        {"65 header lines", request("GET /state", headerLines + cookie), 431},
        {"a 17 KiB header", request("GET /state", "X-Big: " + std::string(17 * 1024, 'x') + "\r\n" + cookie),
         431},
    };
    for (const auto& [what, text, expected] : cases) {
        EXPECT_EQ(status(text), expected) << what;
    }
}

TEST_F(HostUnderAttack, TheDisplayAnswersWhileFortyStreamsAndFortySlowClientsHangOn) {
    std::vector<int> slow;
    std::vector<int> streams;
    for (int i = 0; i < 40; ++i) {
        slow.push_back(connectTo(host.port()));
        ASSERT_GT(::send(slow.back(), "GET / HTTP/1.1\r\nHo", 18, MSG_NOSIGNAL), 0);
        streams.push_back(connectTo(host.port()));
        ASSERT_EQ(statusOf(streams.back(), request("GET /events", cookie)), 200) << "stream " << i;
    }
    sockets.insert(sockets.end(), slow.begin(), slow.end());
    sockets.insert(sockets.end(), streams.begin(), streams.end());
    EXPECT_EQ(status(request("GET /", cookie)), 200);
    EXPECT_EQ(status(request("GET /state", cookie)), 200);
    // The oldest streams made room for the newer ones; a request never finished is given up.
    EXPECT_TRUE(closedByHost(streams.front()));
    const auto started = Clock::now();
    EXPECT_TRUE(closedByHost(slow.front()));
    EXPECT_LT(Clock::now() - started, 15s);
}

// Eight applets send a megabyte or so at once (read in many pieces) among 130 sockets that never register.
TEST_F(HostUnderAttack, SilentSocketsDoNotLockOutRealAppletsWhichEachKeepTheirOwnFiles) {
    std::vector<std::unique_ptr<WireApplet>> silent;
    for (int i = 0; i < 130; ++i) {
        silent.push_back(host.connect());
    }
    const auto data = [](int i) {
        std::string bytes(i == 0 ? 1000000 : 300001, '\0');
        for (std::size_t b = 0; b < bytes.size(); ++b) {
            bytes[b] = static_cast<char>((b * 131 + std::size_t(i)) % 251);
        }
        return bytes;
    };
    std::vector<std::unique_ptr<WireApplet>> applets;
    for (int i = 0; i < 8; ++i) {
        applets.push_back(host.connect());
        ASSERT_TRUE(applets.back()->registration("com.example.a" + std::to_string(i), "Applet"));
    }
    std::vector<std::thread> senders;
    for (int i = 0; i < 8; ++i) {
        senders.emplace_back(
            [&data, applet = applets[std::size_t(i)].get(), i] { applet->content("d", data(i)); });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(waitUntil(
            [&] {
                return readFileText(host.filesFolder("com.example.a" + std::to_string(i)) + "/d") == data(i);
            },
            20s))
            << i;
    }
    // A socket that never registers is closed after a few seconds.
    EXPECT_TRUE(silent.back()->closedByHost(15000));
}
