// Every failure path of the interface and its code, and the life cycle of
// Init and ShutDown.
#include "SdkTestSupport.h"

#include <climits>
#include <vector>

using namespace halvtest;

namespace {

class ErrorCodes : public SdkTest {};

// Sends one message of every kind; all must fail with `code`.
void expectEverySendFailsWith(int code) {
    uint8_t byte = 0;
    EXPECT_FALSE(HalvKeshAddFileAs(CFSTR("p"), CFSTR("n"), CFSTR("")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
    EXPECT_FALSE(HalvKeshAddContentAs(&byte, 1, CFSTR("n"), CFSTR("")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
    EXPECT_FALSE(HalvKeshAddUTF8StringAs(CFSTR("x"), CFSTR("n"), CFSTR("")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
    EXPECT_FALSE(HalvKeshAddImageFromBitmap(&byte, 0, 0, CFSTR("n")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
    EXPECT_FALSE(HalvKeshSetIndex(CFSTR("n")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
    EXPECT_FALSE(HalvKeshSetTagPropertyById(CFSTR("t"), CFSTR("p"), CFSTR("v")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
    EXPECT_FALSE(HalvKeshSetTagsContentByClass(CFSTR("t"), CFSTR("v")));
    EXPECT_EQ(HalvKeshGetLastError(), code);
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
    EXPECT_FALSE(HalvKeshInit(nullptr, CFSTR("n"), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshInit(CFSTR("id"), nullptr, nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshInit(CFSTR(""), CFSTR("n"), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 1);
    EXPECT_FALSE(HalvKeshInitWithIcon(CFSTR("id"), CFSTR("n"), nullptr, nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 1);
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
    uint8_t byte = 0;
    EXPECT_FALSE(HalvKeshAddFileAs(CFSTR("p"), CFSTR("n"), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshAddContentAs(nullptr, 0, CFSTR("n"), CFSTR("")));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshAddImageFromBitmap(&byte, 1, 1, nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshSetIndex(nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshSetTagsPropertyByClass(CFSTR("c"), nullptr, CFSTR("v")));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    EXPECT_FALSE(HalvKeshSetTagContentById(CFSTR("t"), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 2);
    // The by-class content call leaves the previous code alone.
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("ok")));
    EXPECT_FALSE(HalvKeshSetTagsContentByClass(nullptr, CFSTR("v")));
    EXPECT_EQ(HalvKeshGetLastError(), 0);
}

TEST_F(ErrorCodes, NegativeAndOverflowingSizesAreAFailedCopyAndSendNothing) {
    ASSERT_TRUE(init());
    uint8_t bytes[16] = {};
    EXPECT_FALSE(HalvKeshAddContentAs(bytes, -1, CFSTR("n"), CFSTR("")));
    EXPECT_EQ(HalvKeshGetLastError(), 8);
    EXPECT_FALSE(HalvKeshAddImageFromBitmap(bytes, -2, 2, CFSTR("n")));
    EXPECT_EQ(HalvKeshGetLastError(), 8);
    EXPECT_FALSE(HalvKeshAddImageFromBitmap(bytes, 2, -2, CFSTR("n")));
    EXPECT_EQ(HalvKeshGetLastError(), 8);
    EXPECT_FALSE(HalvKeshAddImageFromBitmap(bytes, 65536, 65536, CFSTR("n")));
    EXPECT_EQ(HalvKeshGetLastError(), 8);
    EXPECT_FALSE(HalvKeshAddImageFromBitmap(bytes, INT_MAX, INT_MAX, CFSTR("n")));
    EXPECT_EQ(HalvKeshGetLastError(), 8);
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
