// kesh-host against what web pages, other users' programs and neighbours on
// the network may send it.
#include "HostUnderTest.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
    return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : (::close(fd), -1);
}

// Sends `request` on a connection of its own; the status of the answer, 0 for none.
int statusOf(int fd, const std::string& request) {
    std::string answer;
    if (fd >= 0 && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char buffer[64];
        for (ssize_t n = 0;
             answer.find("\r\n") == std::string::npos && (n = ::recv(fd, buffer, 64, 0)) > 0;) {
            answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return answer.starts_with("HTTP/1.1 ") ? std::stoi(answer.substr(9, 3)) : 0;
}

// Whether the host has closed the connection (reading whatever it sent first).
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

    // A request from this machine; `extra` are more header lines ("Name: value\r\n" each).
    std::string request(const std::string& method, const std::string& path, const std::string& extra = "",
                        const std::string& body = "") const {
        std::string host = "Host: 127.0.0.1:" + std::to_string(this->host.port()) + "\r\n";
        if (extra.find("Host:") != std::string::npos) {
            host.clear();
        }
        const bool sized = method == "GET" || extra.find("Content-Length:") != std::string::npos ||
                           extra.find("Transfer-Encoding:") != std::string::npos;
        return method + " " + path + " HTTP/1.1\r\n" + host + extra +
               (sized ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n") + "\r\n" + body;
    }
    int status(const std::string& text) {
        sockets.push_back(connectTo(host.port()));
        return statusOf(sockets.back(), text);
    }
    std::string cookie() const { return "Cookie: kesh_token=" + host.token() + "\r\n"; }

    HostUnderTest host;
    std::vector<int> sockets;
};

const std::string kJson = "Content-Type: application/json\r\n";

} // namespace

TEST_F(HostUnderAttack, EveryRouteRefusesARequestWithoutTheToken) {
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init-icon com.example.a\tA"), "ok init-icon");
    ASSERT_EQ(command(*applet, "content p.html\t<p>page</p>"), "ok content");
    ASSERT_EQ(command(*applet, "index p.html"), "ok index");
    ASSERT_TRUE(waitUntil([&] { return host.state()["applets"][0]["shownPage"] == "p.html"; })) << host.log();
    const std::string pageUrl = host.state()["applets"][0]["files"][0]["url"];
    const std::string forgedUrl = "/applets/com.example.a/files/" + std::string(32, '0') + "/p.html";

    struct Route {
        std::string method;
        std::string path;
        int withToken;
    };
    const std::vector<Route> routes = {{"GET", "/", 200},
                                       {"GET", "/overview", 200},
                                       {"GET", "/state", 200},
                                       {"GET", "/events", 200},
                                       {"GET", "/applets/com.example.a/", 200},
                                       {"GET", "/applets/com.example.a/icon.png", 200},
                                       {"GET", "/no/such/page", 404},
                                       {"POST", "/event/tap", 200},
                                       {"POST", "/control/send-record", 200}};
    for (const auto& route : routes) {
        const std::string json = route.method == "POST" ? kJson : "";
        const std::string body = route.method == "POST" ? "{}" : "";
        EXPECT_EQ(status(request(route.method, route.path, json, body)), 403) << route.path;
        EXPECT_EQ(status(request(route.method, route.path,
                                 json + "Cookie: kesh_token=" + std::string(32, 'f') + "\r\n", body)),
                  403)
            << route.path << " with a wrong token";
        EXPECT_EQ(status(request(route.method, route.path, json + cookie(), body)), route.withToken)
            << route.path;
    }
    // An applet's files are reached by its file capability: the token alone does not do.
    EXPECT_EQ(status(request("GET", pageUrl)), 200);
    EXPECT_EQ(status(request("GET", forgedUrl, cookie())), 404);
}

TEST_F(HostUnderAttack, RequestsFromOtherSitesAndRebindingPagesAreRefused) {
    const std::string port = std::to_string(host.port());
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    const std::vector<Case> cases = {
        {"a page of another site, rebound to this address",
         request("GET", "/state", "Host: evil.example:" + port + "\r\n" + cookie()), 421},
        {"another port", request("GET", "/state", "Host: 127.0.0.1:1\r\n" + cookie()), 421},
        {"a cross-site read", request("GET", "/state", "Origin: http://evil.example\r\n" + cookie()), 403},
        {"a cross-site tap",
         request("POST", "/event/tap", "Origin: http://evil.example\r\n" + kJson + cookie(), "{}"), 403},
        {"a sandboxed page's tap", request("POST", "/event/tap", "Origin: null\r\n" + kJson + cookie(), "{}"),
         403},
        {"a form-like tap", request("POST", "/event/tap", "Content-Type: text/plain\r\n" + cookie(), "{}"),
         415},
        {"a record without a type", request("POST", "/control/send-record", cookie(), "{}"), 415},
        {"the display's own tap",
         request("POST", "/event/tap", "Origin: http://127.0.0.1:" + port + "\r\n" + kJson + cookie(), "{}"),
         200},
        {"a tool on this machine", request("POST", "/control/send-record?token=" + host.token(), kJson, "{}"),
         200},
        {"localhost", request("GET", "/state", "Host: localhost:" + port + "\r\n" + cookie()), 200},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(status(c.request), c.status) << c.what;
    }
}

TEST_F(HostUnderAttack, OversizedRequestsAreRefusedBeforeAnyoneReadsThem) {
    std::string manyHeaders;
    for (int i = 0; i < 65; ++i) {
        manyHeaders += "X-" + std::to_string(i) + ": x\r\n";
    }
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    const std::vector<Case> cases = {
        {"a body of 64 KiB", request("POST", "/event/tap", kJson + cookie(), std::string(64 * 1024, ' ')),
         400},
        {"one byte more", request("POST", "/event/tap", kJson + cookie(), std::string(64 * 1024 + 1, ' ')),
         413},
        {"a claim of 1.5 GB", request("POST", "/event/tap", "Content-Length: 1500000000\r\n" + cookie()),
         413},
        {"a body of unknown length",
         request("POST", "/event/tap", "Transfer-Encoding: chunked\r\n" + cookie()), 411},
        {"65 header lines", request("GET", "/state", manyHeaders + cookie()), 431},
        {"a 17 KiB header",
         request("GET", "/state", "X-Big: " + std::string(17 * 1024, 'x') + "\r\n" + cookie()), 431},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(status(c.request), c.status) << c.what;
    }
}

TEST_F(HostUnderAttack, TheDisplayAnswersWhileFortyStreamsAndFortySlowClientsHangOn) {
    std::vector<int> slow;
    std::vector<int> streams;
    for (int i = 0; i < 40; ++i) {
        slow.push_back(connectTo(host.port()));
        ASSERT_GT(::send(slow.back(), "GET / HTTP/1.1\r\nHo", 18, MSG_NOSIGNAL), 0);
        streams.push_back(connectTo(host.port()));
        ASSERT_EQ(statusOf(streams.back(), request("GET", "/events", cookie())), 200) << "stream " << i;
    }
    sockets.insert(sockets.end(), slow.begin(), slow.end());
    sockets.insert(sockets.end(), streams.begin(), streams.end());
    EXPECT_EQ(status(request("GET", "/", cookie())), 200);
    EXPECT_EQ(status(request("GET", "/state", cookie())), 200);
    // The oldest streams made room for the newer ones; a request never finished is given up.
    EXPECT_TRUE(closedByHost(streams.front()));
    const auto started = Clock::now();
    EXPECT_TRUE(closedByHost(slow.front()));
    EXPECT_LT(Clock::now() - started, 15s);
}

TEST_F(HostUnderAttack, SilentSocketsDoNotLockOutARealApplet) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, host.socketPath().c_str(), sizeof address.sun_path - 1);
    for (int i = 0; i < 130; ++i) {
        sockets.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ASSERT_EQ(::connect(sockets.back(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    auto applet = host.startApplet();
    ASSERT_EQ(command(*applet, "init com.example.real\tReal"), "ok init");
    ASSERT_EQ(command(*applet, "content in.html\tin"), "ok content");
    EXPECT_TRUE(
        waitUntil([&] { return readFileText(host.filesFolder("com.example.real") + "/in.html") == "in"; }));
    // A socket that never registers is closed after a few seconds.
    const timeval wait{15, 0};
    ::setsockopt(sockets.back(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    EXPECT_TRUE(closedByHost(sockets.back()));
}
