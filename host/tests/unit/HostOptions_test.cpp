#include "HostOptions.h"

#include <gtest/gtest.h>

using namespace kesh::host;

TEST(HostOptions, ReadsEveryOptionAndDefaultsUnderTheUserFolders) {
    std::string problem;
    const auto options = parseHostOptions({"--socket", "/s/sock", "--data", "/d", "--state", "/st",
                                           "--new-token", "--http", "[::1]:0", "--keepalive", "0", "-v"},
                                          problem);
    ASSERT_TRUE(options) << problem;
    EXPECT_EQ(options->socketPath, "/s/sock");
    EXPECT_EQ(options->dataFolder, "/d");
    EXPECT_EQ(options->stateFolder, "/st");
    EXPECT_TRUE(options->newToken);
    EXPECT_EQ(options->httpHost, "::1");
    EXPECT_EQ(options->httpPort, 0);
    EXPECT_EQ(options->keepAliveSeconds, 0);
    EXPECT_TRUE(options->verbose);

    const auto defaults = parseHostOptions({}, problem);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->httpHost, "127.0.0.1") << "the display is private unless asked otherwise";
    EXPECT_EQ(defaults->socketPath.filename(), "TAMBER_GAMEAPP_SDK");
    EXPECT_EQ(defaults->socketPath.parent_path().filename(), "Halvorin");
    EXPECT_EQ(defaults->stateFolder.filename(), "kesh-host");
    EXPECT_FALSE(defaults->newToken) << "the token is kept unless asked otherwise";
}

TEST(HostOptions, RefusesMalformedValues) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--http", "8080"},
                                               {"--http", "host:99999"},
                                               {"--http", ":80"},
                                               {"--http", "h:8x"},
                                               {"--keepalive", "-1"},
                                               {"--socket"},
                                               {"--state"},
                                               {"--unknown"}}) {
        std::string problem;
        EXPECT_FALSE(parseHostOptions(args, problem)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(problem.empty());
    }
}
