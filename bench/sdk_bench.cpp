// The SDK's send path against the physical references it is built on: content
// pushes through the SDK to a host that reads as fast as it can against plain
// socket writes of the same bytes, the ring buffer against memcpy, and the
// writer thread's CPU time while nothing is queued.
#include "BenchFolder.h"
#include "BenchSummary.h"
#include "HalvorinKeshControl.h"
#include "ThreadCpuTime.h"
#include "core/CircularBuffer.h"

#include <CoreFoundation/CoreFoundation.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The fixed part of a content message ahead of its payload.
constexpr size_t kContentFixedSize = 1032;
// Bytes moved per iteration on each side, so that small pushes are timed over
// many messages and the host's wake-ups do not dominate.
constexpr size_t kBytesPerBatch = 4 << 20;
constexpr std::chrono::seconds kDeliveryDeadline{60};

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string sizeName(int64_t bytes) {
    if (bytes % (1 << 20) == 0)
        return std::to_string(bytes >> 20) + "MB";
    if (bytes % (1 << 10) == 0)
        return std::to_string(bytes >> 10) + "KB";
    return std::to_string(bytes) + "B";
}

// The SDK initialised against a draining host in a fresh folder.
class SdkSession {
public:
    SdkSession() {
        if (!folder_.ready())
            return;
        initialized_ = HalvKeshInit(CFSTR("com.keshvistrel.bench"), CFSTR("Bench"), nullptr);
        // The registration message is on its way; start from a quiet socket.
        if (initialized_)
            initialized_ = folder_.host().waitForBytes(kContentFixedSize, kDeliveryDeadline);
    }
    ~SdkSession() {
        if (initialized_)
            HalvKeshShutdown();
    }
    SdkSession(const SdkSession&) = delete;
    SdkSession& operator=(const SdkSession&) = delete;

    bool ready() const { return initialized_; }
    BenchFolder& folder() { return folder_; }

private:
    BenchFolder folder_;
    bool initialized_ = false;
};

// Content pushes of one payload size: each iteration sends a batch of
// messages of the same bytes twice, once through the SDK and once with plain
// send on a socket of its own, each timed until the host has read every byte.
void ContentPush(benchmark::State& state) {
    const auto payloadSize = static_cast<size_t>(state.range(0));
    SdkSession session;
    if (!session.ready()) {
        state.SkipWithError("SDK could not be initialised against the bench host");
        return;
    }
    DrainHost& host = session.folder().host();
    const int plainSocket = connectTo(session.folder().socketPath());
    if (plainSocket < 0) {
        state.SkipWithError("no plain socket to the bench host");
        return;
    }

    const std::vector<unsigned char> payload(payloadSize, 'k');
    std::vector<unsigned char> message(kContentFixedSize + payloadSize, 0);
    std::memcpy(message.data() + kContentFixedSize, payload.data(), payloadSize);
    const size_t batch = std::max<size_t>(1, kBytesPerBatch / message.size());
    const uint64_t batchBytes = static_cast<uint64_t>(batch) * message.size();
    CFStringRef name = CFSTR("bench.html");
    CFStringRef type = CFSTR("");

    uint64_t expected = host.bytesReceived();
    double sdkSeconds = 0, plainSeconds = 0;
    bool failed = false;
    for (auto _ : state) {
        auto start = Clock::now();
        for (size_t i = 0; i < batch; ++i)
            failed |= !sendAll(plainSocket, message.data(), message.size());
        expected += batchBytes;
        failed |= !host.waitForBytes(expected, kDeliveryDeadline);
        plainSeconds += secondsSince(start);

        start = Clock::now();
        for (size_t i = 0; i < batch; ++i)
            failed |= !HalvKeshAddContentAs(payload.data(), static_cast<int>(payloadSize), name, type);
        expected += batchBytes;
        failed |= !host.waitForBytes(expected, kDeliveryDeadline);
        const double sdkTime = secondsSince(start);
        sdkSeconds += sdkTime;
        state.SetIterationTime(sdkTime);
    }
    close(plainSocket);
    if (failed) {
        state.SkipWithError("a push failed or the host did not receive every byte");
        return;
    }

    const double messages = static_cast<double>(state.iterations() * batch);
    const double bytes = messages * static_cast<double>(message.size());
    const double ratio = plainSeconds / sdkSeconds;
    state.counters["sdk_MBps"] = bytes / sdkSeconds / 1e6;
    state.counters["plain_MBps"] = bytes / plainSeconds / 1e6;
    state.counters["sdk_msgps"] = messages / sdkSeconds;
    state.counters["plain_msgps"] = messages / plainSeconds;
    state.counters["ratio"] = ratio;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(ContentPush)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// One frame's worth of bytes into the ring buffer and out again, against one
// memcpy of the same bytes between two buffers.
void RingBufferWriteRead(benchmark::State& state) {
    const auto chunk = static_cast<size_t>(state.range(0));
    CircularBuffer ring(400000);
    std::vector<unsigned char> source(chunk, 'r'), target(chunk), copy(chunk);
    double ringSeconds = 0, memcpySeconds = 0;
    // Each side is timed over many rounds: a single round of a small chunk is
    // shorter than the clock's resolution.
    const int rounds = static_cast<int>(std::max<size_t>(1, (1 << 20) / chunk));
    for (auto _ : state) {
        auto start = Clock::now();
        for (int i = 0; i < rounds; ++i) {
            std::memcpy(copy.data(), source.data(), chunk);
            benchmark::ClobberMemory();
        }
        memcpySeconds += secondsSince(start);

        start = Clock::now();
        for (int i = 0; i < rounds; ++i) {
            ring.write(source.data(), chunk);
            ring.read(target.data(), chunk);
            benchmark::ClobberMemory();
        }
        const double ringTime = secondsSince(start);
        ringSeconds += ringTime;
        state.SetIterationTime(ringTime);
    }
    const double bytes = static_cast<double>(state.iterations()) * rounds * static_cast<double>(chunk);
    const double ratio = memcpySeconds / ringSeconds;
    state.counters["ring_GBps"] = bytes / ringSeconds / 1e9;
    state.counters["memcpy_GBps"] = bytes / memcpySeconds / 1e9;
    state.counters["ratio"] = ratio;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(RingBufferWriteRead)
    ->Arg(1 << 10)
    ->Arg(64 << 10)
    ->Arg(301032)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The writer thread with nothing queued for five seconds: its own CPU time.
void WriterThreadIdle(benchmark::State& state) {
    constexpr auto kIdle = std::chrono::seconds(5);
    for (auto _ : state) {
        const std::set<pid_t> before = threadIds();
        SdkSession session;
        if (!session.ready()) {
            state.SkipWithError("SDK could not be initialised against the bench host");
            return;
        }
        std::vector<pid_t> started;
        for (pid_t tid : threadIds())
            if (before.count(tid) == 0)
                started.push_back(tid);
        // Every thread the SDK started is counted: the writer, and anything
        // else Init might have left running.
        auto cpuOfStarted = [&] {
            double seconds = 0;
            for (pid_t tid : started)
                seconds += threadCpuSeconds(tid).value_or(0.0);
            return seconds;
        };
        const double cpuBefore = cpuOfStarted();
        const auto start = Clock::now();
        // Measuring an idle thread means letting it idle: this wait is the
        // measurement itself.
        std::this_thread::sleep_for(kIdle);
        const double wall = secondsSince(start);
        const double busy = cpuOfStarted() - cpuBefore;
        state.SetIterationTime(wall);
        const double percent = busy / wall * 100.0;
        state.counters["threads_started"] = static_cast<double>(started.size());
        state.counters["cpu_us"] = busy * 1e6;
        // Their whole CPU time since they started, sending the registration
        // included: shows that the clocks read these threads at all.
        state.counters["cpu_since_start_us"] = (cpuBefore + busy) * 1e6;
        state.counters["core_percent"] = percent;
    }
}
BENCHMARK(WriterThreadIdle)->Iterations(1)->Repetitions(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    for (int64_t size = 1 << 10; size <= 1 << 20; size *= 4) {
        FigureDefinition push{"content push " + sizeName(size) + " vs plain send",
                              "ContentPush/" + std::to_string(size) + "/manual_time", "ratio", "x throughput",
                              Goal::ReportOnly};
        if (size == 1 << 20) {
            push.goal = Goal::AtLeast;
            push.target = 0.8;
        } else if (size == 1 << 10) {
            push.unit = "x message rate";
            push.goal = Goal::AtLeast;
            push.target = 0.5;
        }
        defineFigure(push);
    }
    // The ring is judged where frames are: a typical large piece and the
    // largest frame. At 1 KiB its two lock round trips cost as much as the
    // copies themselves; reported for information.
    defineFigure({"ring buffer write+read 1KB vs memcpy", "RingBufferWriteRead/1024/manual_time", "ratio",
                  "x", Goal::ReportOnly});
    defineFigure({"ring buffer write+read 64KB vs memcpy", "RingBufferWriteRead/65536/manual_time", "ratio",
                  "x", Goal::AtLeast, 0.5});
    defineFigure({"ring buffer write+read 301032B vs memcpy", "RingBufferWriteRead/301032/manual_time",
                  "ratio", "x", Goal::AtLeast, 0.5});
    defineFigure({"writer thread idle 5 s", "WriterThreadIdle/iterations:1/repeats:1/manual_time",
                  "core_percent", "% of a core", Goal::AtMost, 0.1});
    return runBenchmarksAndSummarise(argc, argv, "sdk_bench");
}
