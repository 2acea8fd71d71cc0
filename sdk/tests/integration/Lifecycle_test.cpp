// Init and ShutDown again and under threads, and the writer while idle.
#include "SdkTestSupport.h"

#include <algorithm>
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
    ASSERT_TRUE(host->waitForMessages(3, kDeadline));
    EXPECT_EQ(host->messages()[2].fileName(), "second");
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
    host = std::make_unique<TestHost>(); // away from the connections of the race
    ASSERT_TRUE(init());
    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("after")));
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    const auto messages = host->messages();
    EXPECT_EQ(messages[0].type, 2u);
    EXPECT_EQ(messages[1].fileName(), "after");
}
