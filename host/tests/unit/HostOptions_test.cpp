#include "HostOptions.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

using namespace kesh::host;

TEST(HostOptions, KeepTheDisplayPrivateUnlessAskedAndRefuseMistakes) {
    std::string problem;
    const auto defaults = parseHostOptions({}, problem);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->httpHost + ":" + std::to_string(defaults->httpPort), "127.0.0.1:8765");
    EXPECT_FALSE(defaults->newToken) << "a bookmarked address keeps working";
    EXPECT_EQ(parseHostOptions({"--http", "[::1]:0"}, problem)->httpHost, "::1");
    EXPECT_EQ(parseHostOptions({"--http", "127.0.0.1:9", "--lan"}, problem)->httpHost, "0.0.0.0")
        << "for phones, every address at the port of --http";
    for (const std::string bad : {"--http 8080", "--http h:99999", "--http :80", "--http h:8x",
                                  "--keepalive -1", "--socket", "--state", "--unknown"}) {
        std::istringstream words(bad);
        EXPECT_FALSE(parseHostOptions({std::istream_iterator<std::string>(words), {}}, problem)) << bad;
    }
}
