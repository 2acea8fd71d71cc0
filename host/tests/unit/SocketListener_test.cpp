#include "SocketListener.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kesh::host;
namespace fs = std::filesystem;

namespace {

// A socket file that nobody listens on, as a crashed host leaves it.
void leaveStaleSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

} // namespace

TEST(SocketListener, MakesItsFolderPrivateReplacesOnlyAStaleSocketAndRemovesItsOwnAtStop) {
    kv::testsupport::TemporaryFolder temp;
    const fs::path socketPath = temp.path() / "Halvorin" / "TAMBER_GAMEAPP_SDK";
    fs::create_directories(socketPath.parent_path());
    // Anyone could put a socket of their own in a folder open to all.
    fs::permissions(socketPath.parent_path(), fs::perms::all);
    leaveStaleSocket(socketPath);
    {
        SocketListener listener;
        std::string problem;
        ASSERT_TRUE(listener.open(socketPath, problem)) << problem;
        SocketListener second;
        EXPECT_FALSE(second.open(socketPath, problem));
        EXPECT_NE(problem.find("another host is already listening"), std::string::npos) << problem;
        EXPECT_EQ(fs::status(socketPath.parent_path()).permissions(), fs::perms::owner_all);
        listener.stop();
        EXPECT_FALSE(fs::exists(socketPath));
    }
    const fs::path fresh = temp.path() / "new" / "Halvorin" / "sock";
    SocketListener listener;
    std::string problem;
    ASSERT_TRUE(listener.open(fresh, problem)) << problem;
    EXPECT_EQ(fs::status(fresh.parent_path()).permissions(), fs::perms::owner_all);

    // Never something that is not a socket; never a path too long for one.
    const fs::path file = temp.path() / "file";
    std::ofstream(file) << "precious";
    EXPECT_FALSE(SocketListener().open(file, problem));
    EXPECT_NE(problem.find("not a socket"), std::string::npos) << problem;
    EXPECT_EQ(std::ifstream(file).rdbuf()->sgetc(), 'p');
    EXPECT_FALSE(SocketListener().open(temp.path() / std::string(120, 'x'), problem));
    EXPECT_NE(problem.find("too long"), std::string::npos) << problem;
}
