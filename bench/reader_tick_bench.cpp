// One reader tick of the desktop application on a real X display (Xvfb in
// scripts/bench.sh): the capture of the strip and its decoding, with the
// strip read from the game's own window against the strip read from the
// screen, in the same run. Windows of this program paint the frames of
// messages where an application that was never calibrated looks for them:
// one at the top-left corner of the screen, one titled like the game at an
// offset.
#include "BenchSummary.h"
#include "FakePlatform.h"
#include "StripWindow.h"
#include "platform/qt/GameWindowCapture.h"
#include "platform/qt/QtScreenCapture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace {

// The frames of a message as the add-on paints them: each byte in phase 0
// then phase 1, then the terminator bytes 7 and 8.
std::vector<std::pair<int, int>> messageFrames(const std::string& text) {
    std::vector<std::pair<int, int>> frames;
    std::string bytes = text;
    bytes += '\x07';
    bytes += '\x08';
    for (unsigned char byte : bytes) {
        frames.emplace_back(byte, 0);
        frames.emplace_back(byte, 1);
    }
    return frames;
}

double threadCpuSeconds() {
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// A controller on the given capture, with the geometry of a first start, and
// what its ticks cost and read.
struct Reader {
    kv::fakes::FakePlatform fakes;
    kv::AppDelegate controller;
    std::vector<double> wall, cpu;
    int messagesRead = 0, messagesWrong = 0;

    explicit Reader(kv::ScreenCapture& capture)
        : controller(kv::Platform{capture, fakes.defaults, fakes.desktop, fakes.runLoop, fakes.app}) {
        fakes.attach(controller);
        controller.loadCalibration(); // nothing stored: the default geometry
        controller.myScanRect =
            kv::Rect{static_cast<double>(controller.scanHorizOffset),
                     static_cast<double>(controller.scanVertOffset), controller.scanWidth, 1.0};
        controller.computePixelOffsets();
    }
    void tick(const std::string& message) {
        controller.currentMessage.clear();
        const double cpuStart = threadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        controller.recordColorsThread();
        wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(threadCpuSeconds() - cpuStart);
        if (!controller.currentMessage.empty()) {
            ++messagesRead;
            messagesWrong += controller.currentMessage != message ? 1 : 0;
        }
    }
    // At 20 ticks a second, the share of one core this process spends reading.
    double corePercent() const {
        double total = 0;
        for (double seconds : cpu)
            total += seconds;
        return total / static_cast<double>(cpu.size()) * 20.0 * 100.0;
    }
};

void ReaderTick(benchmark::State& state) {
    kv::QtScreenCapture screenGrab;
    kv::GameWindowCapture windowCapture({"World of Warcraft"});
    Reader fromScreen(screenGrab);
    Reader fromWindow(windowCapture);

    kv::bench::StripWindow corner;
    kv::bench::StripWindow game(QStringLiteral("World of Warcraft"), QPoint(400, 300));
    corner.show();
    game.show();
    QElapsedTimer waited;
    waited.start();
    while (windowCapture.namedWindows().empty() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);

    const std::string message = "Thrall-Silvermoon";
    const auto frames = messageFrames(message);
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        corner.showFrame(frames[next].first, frames[next].second);
        game.showFrame(frames[next].first, frames[next].second);
        next = (next + 1) % frames.size();
        QApplication::processEvents();
        state.ResumeTiming();
        fromScreen.tick(message);
        fromWindow.tick(message);
    }
    if (fromWindow.wall.empty())
        return;
    if (state.iterations() >= static_cast<benchmark::IterationCount>(frames.size()) &&
        (fromScreen.messagesRead == 0 || fromWindow.messagesRead == 0)) {
        state.SkipWithError("no message was read from a painted strip: is there an X display?");
        return;
    }
    state.counters["screen_median_ms"] = percentile(fromScreen.wall, 0.5) * 1e3;
    state.counters["window_median_ms"] = percentile(fromWindow.wall, 0.5) * 1e3;
    state.counters["window_p95_ms"] = percentile(fromWindow.wall, 0.95) * 1e3;
    state.counters["window_over_screen"] =
        percentile(fromWindow.wall, 0.5) / percentile(fromScreen.wall, 0.5);
    state.counters["screen_core_percent_at_20Hz"] = fromScreen.corePercent();
    state.counters["window_core_percent_at_20Hz"] = fromWindow.corePercent();
    state.counters["messages_read"] = fromScreen.messagesRead + fromWindow.messagesRead;
    state.counters["messages_wrong"] = fromScreen.messagesWrong + fromWindow.messagesWrong;
}
BENCHMARK(ReaderTick)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string tick = "ReaderTick/min_time:2.000";
    defineFigure({"reader tick median, strip read from the screen", tick, "screen_median_ms", "ms",
                  Goal::AtMost, 0.5});
    defineFigure({"reader tick median, strip read from the game's window", tick, "window_median_ms", "ms",
                  Goal::AtMost, 0.5});
    defineFigure({"window tick against screen tick", tick, "window_over_screen", "x", Goal::ReportOnly, 0.0});
    defineFigure({"reader CPU at 20 Hz, game's window", tick, "window_core_percent_at_20Hz", "% of a core",
                  Goal::AtMost, 1.0});
    defineFigure({"reader messages read wrong", tick, "messages_wrong", "messages", Goal::AtMost, 0.0});
    return runBenchmarksAndSummarise(argc, argv, "reader_tick_bench");
}
