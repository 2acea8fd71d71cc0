// Every failure path of the interface and its code, and the life cycle of
// Init and ShutDown.
#include "SdkTestSupport.h"

#include <climits>
#include <functional>
#include <vector>

using namespace halvtest;

namespace {

class ErrorCodes : public SdkTest {};

using Call = std::function<bool()>;

// Each call must fail and leave `code` as the last error.
void expectEachFailsWith(int code, const std::vector<Call>& calls) {
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_FALSE(calls[i]()) << "call " << i;
        EXPECT_EQ(HalvKeshGetLastError(), code) << "call " << i;
    }
}

// One message of every kind.
void expectEverySendFailsWith(int code) {
    static uint8_t byte = 0;
    expectEachFailsWith(code,
                        {
                            [] { return HalvKeshAddFileAs(CFSTR("p"), CFSTR("n"), CFSTR("")); },
                            [] { return HalvKeshAddContentAs(&byte, 1, CFSTR("n"), CFSTR("")); },
                            [] { return HalvKeshAddUTF8StringAs(CFSTR("x"), CFSTR("n"), CFSTR("")); },
                            [] { return HalvKeshAddImageFromBitmap(&byte, 0, 0, CFSTR("n")); },
                            [] { return HalvKeshSetIndex(CFSTR("n")); },
                            [] { return HalvKeshSetTagPropertyById(CFSTR("t"), CFSTR("p"), CFSTR("v")); },
                            [] { return HalvKeshSetTagsContentByClass(CFSTR("t"), CFSTR("v")); },
                        });
}

} // namespace

TEST_F(ErrorCodes, BeforeInitNothingIsSentAndArgumentsAreCheckedFirstForStrings) {
    EXPECT_EQ(HalvKeshGetLastError(), 0);
    HalvKeshShutdown(); // before Init: nothing happens
    expectEverySendFailsWith(4);
    EXPECT_FALSE(HalvKeshAddUTF8StringAs(nullptr, CFSTR("n"), CFSTR("")));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshSetTagContentById(CFSTR("t"), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 4);
    EXPECT_EQ(host->messages().size(), 0u);
}

TEST_F(ErrorCodes, InitRejectsMissingOrEmptyArguments) {
    expectEachFailsWith(2, {[] { return HalvKeshInit(nullptr, CFSTR("n"), nullptr); },
                            [] { return HalvKeshInit(CFSTR("id"), nullptr, nullptr); }});
    expectEachFailsWith(1, {[] { return HalvKeshInit(CFSTR(""), CFSTR("n"), nullptr); },
                            [] { return HalvKeshInitWithIcon(CFSTR("id"), CFSTR("n"), nullptr, nullptr); }});
    // None of these left the library initialised.
    EXPECT_TRUE(HalvKeshInit(CFSTR("id"), CFSTR(""), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 0);
}

TEST_F(ErrorCodes, SecondInitIsRefusedAndTheFirstGoesOn) {
    ASSERT_TRUE(init());
    EXPECT_FALSE(HalvKeshInit(CFSTR("other"), CFSTR("Other"), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 5);
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("still.html")));
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    EXPECT_EQ(host->messages()[1].fileName(), "still.html");
    EXPECT_EQ(host->messages().size(), 2u);
}

TEST_F(ErrorCodes, NullArgumentsOfSendsGiveTwo) {
    ASSERT_TRUE(init());
    static uint8_t byte = 0;
    expectEachFailsWith(2, {
                               [] { return HalvKeshAddFileAs(CFSTR("p"), CFSTR("n"), nullptr); },
                               [] { return HalvKeshAddContentAs(nullptr, 0, CFSTR("n"), CFSTR("")); },
                               [] { return HalvKeshAddImageFromBitmap(&byte, 1, 1, nullptr); },
                               [] { return HalvKeshSetIndex(nullptr); },
                               [] { return HalvKeshSetTagsPropertyByClass(CFSTR("c"), nullptr, CFSTR("v")); },
                               [] { return HalvKeshSetTagContentById(CFSTR("t"), nullptr); },
                           });
    // The by-class content call leaves the previous code alone.
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("ok")));
    EXPECT_FALSE(HalvKeshSetTagsContentByClass(nullptr, CFSTR("v")));
    EXPECT_EQ(HalvKeshGetLastError(), 0);
}

TEST_F(ErrorCodes, NegativeAndOverflowingSizesAreAFailedCopyAndSendNothing) {
    ASSERT_TRUE(init());
    static uint8_t bytes[16] = {};
    expectEachFailsWith(8, {
                               [] { return HalvKeshAddContentAs(bytes, -1, CFSTR("n"), CFSTR("")); },
                               [] { return HalvKeshAddImageFromBitmap(bytes, -2, 2, CFSTR("n")); },
                               [] { return HalvKeshAddImageFromBitmap(bytes, 2, -2, CFSTR("n")); },
                               [] { return HalvKeshAddImageFromBitmap(bytes, 65536, 65536, CFSTR("n")); },
                               [] { return HalvKeshAddImageFromBitmap(bytes, INT_MAX, INT_MAX, CFSTR("n")); },
                           });
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("after")));
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    const auto messages = host->messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].type, 7u);
}

TEST_F(ErrorCodes, NoListenerIsAConnectErrorWithTheReasonAndALaterInitSucceeds) {
    const std::string dataHome = host->dataHome();
    host.reset(); // nobody listens now
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(init());
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(HalvKeshGetLastError(), 6);
    EXPECT_EQ(stderrText.rfind("Connect Error: ", 0), 0u) << stderrText;
    EXPECT_GT(stderrText.size(), std::string("Connect Error: \n").size()) << "the system's reason follows";

    host = std::make_unique<TestHost>();
    EXPECT_TRUE(init());
    EXPECT_TRUE(host->waitForMessages(1, kDeadline));
}

TEST_F(ErrorCodes, SocketPathTooLongForTheAddressIsAFailedConnection) {
    const std::string longFolder = host->dataHome() + "/" + std::string(120, 'd');
    setenv("XDG_DATA_HOME", longFolder.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(init());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(HalvKeshGetLastError(), 6);
}

TEST_F(ErrorCodes, InitWorksAgainAfterShutdownAndLastErrorStaysReadable) {
    for (int round = 1; round <= 3; ++round) {
        ASSERT_TRUE(init()) << "round " << round;
        ASSERT_TRUE(HalvKeshSetIndex(text("round" + std::to_string(round)).get()));
        HalvKeshShutdown();
        HalvKeshShutdown(); // a second one does nothing
        EXPECT_FALSE(HalvKeshSetIndex(CFSTR("late")));
        EXPECT_EQ(HalvKeshGetLastError(), 4);
    }
    ASSERT_TRUE(host->waitForMessages(6, kDeadline));
    const auto messages = host->messages();
    ASSERT_EQ(messages.size(), 6u);
    for (int round = 1; round <= 3; ++round) {
        EXPECT_EQ(messages[2 * round - 2].type, 2u);
        EXPECT_EQ(messages[2 * round - 1].fileName(), "round" + std::to_string(round));
        EXPECT_EQ(messages[2 * round - 1].connection, round) << "each Init has its own connection";
    }
    EXPECT_TRUE(host->waitForDisconnects(3, kDeadline));
}
