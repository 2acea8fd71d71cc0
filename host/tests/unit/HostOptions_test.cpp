#include "HostOptions.h"

#include <gtest/gtest.h>

using namespace kesh::host;

TEST(HostOptions, ReadsEveryOptionAndKeepsTheDisplayPrivateByDefault) {
    std::string problem;
    const auto options = parseHostOptions({"--state", "/st", "--new-token", "--http", "[::1]:0"}, problem);
    ASSERT_TRUE(options) << problem;
    EXPECT_EQ(options->stateFolder.string() + " " + options->httpHost + " " +
                  std::to_string(options->httpPort),
              "/st ::1 0");
    EXPECT_TRUE(options->newToken);
    EXPECT_EQ(parseHostOptions({"--http", "127.0.0.1:9", "--lan"}, problem)->httpHost, "0.0.0.0")
        << "for phones, every address at the port of --http";

    const auto defaults = parseHostOptions({}, problem);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->httpHost + ":" + std::to_string(defaults->httpPort), "127.0.0.1:8765")
        << "the display is private unless asked otherwise, at the documented port";
    EXPECT_FALSE(defaults->newToken) << "a bookmarked address keeps working";
    EXPECT_EQ(defaults->socketPath.parent_path().filename().string() + "/" +
                  defaults->socketPath.filename().string(),
              "Halvorin/TAMBER_GAMEAPP_SDK");

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--http", "8080"},
                                               {"--http", "host:99999"},
                                               {"--http", ":80"},
                                               {"--http", "h:8x"},
                                               {"--keepalive", "-1"},
                                               {"--socket"},
                                               {"--state"},
                                               {"--unknown"}}) {
        EXPECT_FALSE(parseHostOptions(args, problem)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}
