// Init and ShutDown under threads, the writer while idle, and a host that
// goes away and comes back.
#include "SdkTestSupport.h"

#include "TemporaryFolder.h"

#include <atomic>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace halvtest;

namespace {

class Lifecycle : public SdkTest {};

std::set<pid_t> threadIds() {
    std::set<pid_t> ids;
    DIR* tasks = opendir("/proc/self/task");
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.')
            ids.insert(static_cast<pid_t>(std::stol(entry->d_name)));
    closedir(tasks);
    return ids;
}

// Processor time the thread used, from the kernel's account in clock ticks.
double cpuSeconds(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 14; ++i)
        fields >> field;
    long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Messages of one connection, in order.
std::vector<Message> onConnection(const TestHost& host, int connection) {
    std::vector<Message> found;
    for (const Message& message : host.messages())
        if (message.connection == connection)
            found.push_back(message);
    return found;
}

// The messages of the connection that sent `fileName`, once it arrived.
std::vector<Message> connectionThatSent(const TestHost& host, const std::string& fileName) {
    int connection = 0;
    waitUntil(kDeadline, [&] {
        for (const Message& message : host.messages())
            if (message.fileName() == fileName)
                connection = message.connection;
        return connection != 0;
    });
    return onConnection(host, connection);
}

// Runs the threads to their end; a thread still blocked after the deadline
// ends the whole run, since it cannot be joined.
void finishWithin(std::chrono::milliseconds deadline, std::vector<std::thread>& threads,
                  std::atomic<int>& finished) {
    if (!waitUntil(deadline, [&] { return finished.load() == static_cast<int>(threads.size()); })) {
        std::fprintf(stderr, "a thread was still blocked %lld ms after ShutDown\n",
                     static_cast<long long>(deadline.count()));
        std::_Exit(1);
    }
    for (auto& thread : threads)
        thread.join();
}

} // namespace

TEST_F(Lifecycle, WriterUsesNoProcessorTimeWhileIdle) {
    const std::set<pid_t> before = threadIds();
    ASSERT_TRUE(init());
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    std::vector<pid_t> started;
    for (pid_t id : threadIds())
        if (!before.count(id))
            started.push_back(id);
    ASSERT_EQ(started.size(), 1u) << "Init starts one thread, the writer";
    const double used = cpuSeconds(started[0]);
    // Measuring over a fixed span, not waiting for anything: a writer that
    // polls would use most of it.
    std::this_thread::sleep_for(2s);
    EXPECT_LT(cpuSeconds(started[0]) - used, 0.1);
}

TEST_F(Lifecycle, ASecondInitAfterShutDownDeliversItsFrames) {
    ASSERT_TRUE(init());
    HalvKeshShutdown();
    HalvKeshShutdown(); // a second one does nothing
    EXPECT_FALSE(HalvKeshSetIndex(CFSTR("late")));
    EXPECT_EQ(HalvKeshGetLastError(), 4);
    ASSERT_TRUE(init());
    // The writer of the second Init has sent the registration and is idle: a
    // stop event left set by the first ShutDown would have ended it by now.
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return onConnection(*host, 2).size() == 1; }));
    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("second")));
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return onConnection(*host, 2).size() == 2; }));
    EXPECT_EQ(onConnection(*host, 2)[1].fileName(), "second");
}

TEST_F(Lifecycle, ShutDownAmidSendersReleasesEveryThreadAndLeavesNothingForTheNextConnection) {
    enum class Host { reading, stoppedReading, gone };
    // A host that is gone makes the writer drop frames as fast as they come;
    // messages far larger than the queue keep a sender inside its send.
    const struct {
        Host host;
        size_t payload;
    } cases[] = {{Host::reading, 300000}, {Host::stoppedReading, 300000}, {Host::gone, 64 << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.host));
        host = std::make_unique<TestHost>();
        ASSERT_TRUE(init());
        ASSERT_TRUE(host->waitForMessages(1, kDeadline));
        host->pauseReading(c.host == Host::stoppedReading);
        if (c.host == Host::gone)
            host.reset();

        constexpr int kSenders = 4;
        const std::vector<uint8_t> payload(c.payload, 0x5a);
        std::atomic<int> returned{0}, finished{0};
        std::atomic<bool> shutDown{false};
        std::vector<std::vector<std::string>> queued(kSenders);
        std::vector<std::thread> threads;
        for (int t = 0; t < kSenders; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0;; ++i) {
                    const std::string name = std::to_string(t) + "-" + std::to_string(i);
                    if (!HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()),
                                              text(name).get(), CFSTR("")))
                        break;
                    queued[static_cast<size_t>(t)].push_back(name);
                    ++returned;
                }
                ++finished;
            });
        threads.emplace_back([&] {
            while (!shutDown)
                HalvKeshGetLastError();
            ++finished;
        });
        ASSERT_TRUE(waitUntil(kDeadline, [&] { return returned >= 2; }));
        HalvKeshShutdown();
        shutDown = true;
        finishWithin(2s, threads, finished);
        EXPECT_EQ(HalvKeshGetLastError(), 4) << "every sender's last send failed as not initialised";

        if (c.host == Host::reading) {
            // A send that returned true was delivered, whole.
            ASSERT_TRUE(host->waitForDisconnects(1, kDeadline));
            std::set<std::string> delivered;
            for (const Message& message : host->messages())
                if (message.payload() == payload)
                    delivered.insert(message.fileName());
            for (const auto& names : queued)
                for (const auto& name : names)
                    EXPECT_TRUE(delivered.count(name)) << name;
        }
        if (!host)
            host = std::make_unique<TestHost>();
        host->pauseReading(false);
        ASSERT_TRUE(init());
        ASSERT_TRUE(HalvKeshSetIndex(CFSTR("next")));
        const auto next = connectionThatSent(*host, "next");
        ASSERT_EQ(next.size(), 2u) << "the next connection holds the registration, then the index";
        EXPECT_EQ(next[0].type, 2u);
        HalvKeshShutdown();
    }
}

TEST_F(Lifecycle, InitAndShutDownRacingOnTwoThreadsLeaveAWorkingLibrary) {
    constexpr int kRounds = 3000;
    std::thread initialising([this] {
        for (int i = 0; i < kRounds; ++i)
            init();
    });
    std::thread shuttingDown([] {
        for (int i = 0; i < kRounds; ++i)
            HalvKeshShutdown();
    });
    initialising.join();
    shuttingDown.join();
    HalvKeshShutdown();
    ASSERT_TRUE(init());
    ASSERT_TRUE(HalvKeshSetIndex(CFSTR("after")));
    const auto messages = connectionThatSent(*host, "after");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].type, 2u);
}

TEST(Reconnection, AHostThatComesBackGetsTheRegistrationThenTheNextPushes) {
    kv::testsupport::TemporaryFolder folder;
    setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
    auto host = std::make_unique<TestHost>(folder.path().string());
    testing::internal::CaptureStderr();
    ASSERT_TRUE(HalvKeshInit(CFSTR("com.example.tester"), CFSTR("Tester"), nullptr));
    ASSERT_TRUE(host->waitForMessages(1, kDeadline));
    // The host goes away while a message of three frames is on its way.
    host->pauseReading(true);
    const std::vector<uint8_t> payload(350000, 0x33);
    ASSERT_TRUE(
        HalvKeshAddContentAs(payload.data(), static_cast<int>(payload.size()), CFSTR("big"), CFSTR("")));
    host.reset();
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("nobody")));

    host = std::make_unique<TestHost>(folder.path().string());
    const auto back = std::chrono::steady_clock::now();
    bool arrived = false;
    for (int i = 0; !arrived && std::chrono::steady_clock::now() - back < 2s; ++i) {
        EXPECT_TRUE(HalvKeshSetIndex(text("page" + std::to_string(i)).get()));
        arrived = host->waitForMessages(2, 100ms);
    }
    ASSERT_TRUE(arrived) << "no registration and push within 2 s of the host's return";
    const auto messages = host->messages();
    EXPECT_EQ(messages[0].type, 2u);
    EXPECT_EQ(messages[0].identifier(), "com.example.tester");
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_EQ(messages[i].type, 7u) << "nothing of the old host's message reaches the new one";
    HalvKeshShutdown();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    EXPECT_NE(log.find("lost the host"), std::string::npos) << log;
    EXPECT_NE(log.find("reconnected"), std::string::npos) << log;
}
