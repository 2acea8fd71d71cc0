// Every failure of the interface has its code and sends nothing.
#include "SdkTestSupport.h"

#include <climits>
#include <functional>
#include <vector>

using namespace halvtest;

namespace {

class ErrorCodes : public SdkTest {};

struct Failure {
    int code;
    std::function<bool()> call;
};

void expectEachFails(const std::vector<Failure>& failures) {
    for (size_t i = 0; i < failures.size(); ++i) {
        EXPECT_FALSE(failures[i].call()) << "call " << i;
        EXPECT_EQ(HalvKeshGetLastError(), failures[i].code) << "call " << i;
    }
}

uint8_t bytes[16];

} // namespace

TEST_F(ErrorCodes, EveryFailureHasItsCodeAndSendsNothing) {
    EXPECT_EQ(HalvKeshGetLastError(), 0);
    HalvKeshShutdown(); // before Init: nothing happens
    expectEachFails({
        {4, [] { return HalvKeshAddFileAs(CFSTR("p"), CFSTR("n"), CFSTR("")); }},
        {4, [] { return HalvKeshAddUTF8StringAs(CFSTR("x"), CFSTR("n"), CFSTR("")); }},
        {4, [] { return HalvKeshSetTagsContentByClass(CFSTR("t"), CFSTR("v")); }},
        // The string's arguments are checked before the initialised flag.
        {2, [] { return HalvKeshAddUTF8StringAs(nullptr, CFSTR("n"), CFSTR("")); }},
        {4, [] { return HalvKeshSetTagContentById(CFSTR("t"), nullptr); }},
        {2, [] { return HalvKeshInit(nullptr, CFSTR("n"), nullptr); }},
        {2, [] { return HalvKeshInit(CFSTR("id"), nullptr, nullptr); }},
        {1, [] { return HalvKeshInit(CFSTR(""), CFSTR("n"), nullptr); }},
        {1, [] { return HalvKeshInitWithIcon(CFSTR("id"), CFSTR("n"), nullptr, nullptr); }},
    });
    // None of these left the library initialised; an empty name is fine.
    ASSERT_TRUE(HalvKeshInit(CFSTR("id"), CFSTR(""), nullptr));
    EXPECT_EQ(HalvKeshGetLastError(), 0);
    expectEachFails({
        {5, [] { return HalvKeshInit(CFSTR("other"), CFSTR("Other"), nullptr); }},
        {2, [] { return HalvKeshAddFileAs(CFSTR("p"), CFSTR("n"), nullptr); }},
        {2, [] { return HalvKeshAddContentAs(nullptr, 0, CFSTR("n"), CFSTR("")); }},
        {2, [] { return HalvKeshAddImageFromBitmap(bytes, 1, 1, nullptr); }},
        {2, [] { return HalvKeshSetIndex(nullptr); }},
        {2, [] { return HalvKeshSetTagsPropertyByClass(CFSTR("c"), nullptr, CFSTR("v")); }},
        {2, [] { return HalvKeshSetTagContentById(CFSTR("t"), nullptr); }},
        // Sizes that are negative or overflow are a failed copy, never a copy.
        {8, [] { return HalvKeshAddContentAs(bytes, -1, CFSTR("n"), CFSTR("")); }},
        {8, [] { return HalvKeshAddImageFromBitmap(bytes, -2, 2, CFSTR("n")); }},
        {8, [] { return HalvKeshAddImageFromBitmap(bytes, 65536, 65536, CFSTR("n")); }},
        {8, [] { return HalvKeshAddImageFromBitmap(bytes, INT_MAX, INT_MAX, CFSTR("n")); }},
    });
    // The by-class content call leaves the previous code alone.
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("after")));
    EXPECT_FALSE(HalvKeshSetTagsContentByClass(nullptr, CFSTR("v")));
    EXPECT_EQ(HalvKeshGetLastError(), 0);
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    HalvKeshShutdown();
    ASSERT_TRUE(host->waitForDisconnects(1, kDeadline));
    ASSERT_EQ(host->messages().size(), 2u) << "only the registration and the index went out";
    EXPECT_EQ(host->messages()[1].fileName(), "after");
}

TEST_F(ErrorCodes, NoListenerIsAConnectErrorWithTheReasonAndALaterInitSucceeds) {
    const std::string dataHome = host->dataHome();
    for (const std::string& folder : {dataHome + "/nobody", dataHome + "/" + std::string(120, 'd')}) {
        // Nobody listens there; the second path does not even fit an address.
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(init());
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(HalvKeshGetLastError(), 6);
        EXPECT_EQ(log.rfind("Connect Error: ", 0), 0u) << log;
        EXPECT_GT(log.size(), std::string("Connect Error: \n").size()) << "the system's reason follows";
    }
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    EXPECT_TRUE(init());
    EXPECT_TRUE(host->waitForMessages(1, kDeadline));
}
