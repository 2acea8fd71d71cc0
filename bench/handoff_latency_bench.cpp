// From the terminator frame on the screen to the index message at the host:
// the desktop application's controller with its real timers and the real
// screen capture on an X display (Xvfb in scripts/bench.sh), the SDK, and a
// test host. A window of this program paints each message as the add-on does,
// every frame held 0.1 s. The hand-off timer's 1.0 s period is the reference.
#include "BenchSummary.h"
#include "FakePlatform.h"
#include "StripWindow.h"
#include "TestHost.h"
#include "platform/qt/QtRunLoop.h"
#include "platform/qt/QtScreenCapture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto kFrameHold = std::chrono::milliseconds(100);
constexpr double kHandOffPeriodSeconds = 1.0;
constexpr int kMessages = 8;

// Runs the event loop (the controller's timers among it) for a while.
void runFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(duration.count()), &loop, &QEventLoop::quit);
    loop.exec();
}

// Index messages for a page other than the update page, counted.
std::size_t pageIndexMessages(const halvtest::TestHost& host) {
    std::size_t count = 0;
    for (const halvtest::Message& message : host.messages())
        if (message.type == 7 && message.fileName() != "update.html")
            ++count;
    return count;
}

void HandOffLatency(benchmark::State& state) {
    halvtest::TestHost host; // points the SDK at its own data folder
    kv::fakes::FakePlatform fakes;
    fakes.app.resourceFolder = KV_RESOURCE_DIR;
    kv::QtScreenCapture capture;
    kv::QtRunLoop runLoop;
    kv::bench::StripWindow strip;
    strip.showDark();
    strip.show();
    QApplication::processEvents();

    std::vector<double> latencies;
    for (auto _ : state) {
        kv::AppDelegate controller(kv::Platform{capture, fakes.defaults, fakes.desktop, runLoop, fakes.app});
        fakes.attach(controller);
        controller.applicationDidFinishLaunching();
        runFor(std::chrono::milliseconds(300));

        for (int m = 0; m < kMessages; ++m) {
            // Different characters each time, so that every message is new.
            const std::string text = std::string("Ka") + static_cast<char>('a' + m) + "-Realm";
            std::vector<int> bytes(text.begin(), text.end());
            bytes.insert(bytes.end(), {7, 8});
            const std::size_t before = pageIndexMessages(host);
            // Start at a different point of the hand-off period each time.
            runFor(std::chrono::milliseconds(137 * m % 1000));
            SteadyClock::time_point terminatorShown;
            for (const int byte : bytes)
                for (const int phase : {0, 1}) {
                    strip.showFrame(byte, phase);
                    terminatorShown = SteadyClock::now();
                    runFor(kFrameHold);
                }
            strip.showDark();
            // The last frame shown is the terminator's phase 1.
            const auto giveUp = terminatorShown + std::chrono::seconds(5);
            while (pageIndexMessages(host) == before && SteadyClock::now() < giveUp)
                runFor(std::chrono::milliseconds(1));
            if (pageIndexMessages(host) == before) {
                state.SkipWithError(("no page was shown for " + text).c_str());
                controller.applicationWillTerminate();
                return;
            }
            latencies.push_back(std::chrono::duration<double>(SteadyClock::now() - terminatorShown).count());
        }
        controller.applicationWillTerminate();
        state.SetIterationTime(1.0);
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2];
    const double worst = latencies.back();
    state.counters["messages"] = static_cast<double>(latencies.size());
    state.counters["median_s"] = median;
    state.counters["max_s"] = worst;
    state.counters["max_vs_handoff"] = worst / kHandOffPeriodSeconds;
}
BENCHMARK(HandOffLatency)->Iterations(1)->Repetitions(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string name = "HandOffLatency/iterations:1/repeats:1/manual_time";
    defineFigure({"terminator on screen to index at host, worst", name, "max_s", "s", Goal::AtMost, 1.1});
    defineFigure({"terminator on screen to index at host, median", name, "median_s", "s", Goal::ReportOnly});
    return runBenchmarksAndSummarise(argc, argv, "handoff_latency_bench");
}
