// Init and ShutDown under threads, the writer while idle, and a host that
// goes away and comes back.
#include "SdkTestSupport.h"
#include "TemporaryFolder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

using namespace halvtest;

namespace {

class Lifecycle : public SdkTest {};

std::set<pid_t> threadIds() {
    std::set<pid_t> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    return ids;
}

// Processor time the thread used, from the scheduler's account.
double cpuSeconds(pid_t thread) {
    std::ifstream schedstat("/proc/self/task/" + std::to_string(thread) + "/schedstat");
    double nanoseconds = -1;
    schedstat >> nanoseconds;
    return nanoseconds * 1e-9;
}

} // namespace

TEST_F(Lifecycle, ASecondInitHasAWriterThatSleepsWhileIdleAndDeliversItsFrames) {
    ASSERT_TRUE(init());
    HalvKeshShutdown();
    HalvKeshShutdown(); // a second one does nothing
    EXPECT_FALSE(HalvKeshSetIndex(CFSTR("late")));
    EXPECT_EQ(HalvKeshGetLastError(), 4);
    const std::set<pid_t> before = threadIds();
    ASSERT_TRUE(init());
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    const std::set<pid_t> after = threadIds();
    std::vector<pid_t> started;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(started));
    // One writer, still there: a stop event left set by the first ShutDown
    // would have ended it once the queue was empty.
    ASSERT_EQ(started.size(), 1u);
    const double used = cpuSeconds(started[0]);
    // Measuring over a fixed span, not waiting for anything: a writer that
    // polls would use most of it.
    std::this_thread::sleep_for(2s);
    EXPECT_LT(cpuSeconds(started[0]) - used, 0.1);
    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("second")));
    EXPECT_EQ(connectionThatSent(*host, "second").size(), 2u);
}

TEST_F(Lifecycle, InitAndShutDownRacingOnTwoThreadsLeaveAWorkingLibrary) {
    std::thread initialising([this] {
        for (int i = 0; i < 3000; ++i)
            init();
    });
    for (int i = 0; i < 3000; ++i)
        HalvKeshShutdown();
    initialising.join();
    HalvKeshShutdown();
    ASSERT_TRUE(init());
    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("after")));
    const auto messages = connectionThatSent(*host, "after");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].type, 2u);
}
