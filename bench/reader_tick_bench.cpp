// One reader tick of the desktop application on a real X display (Xvfb in
// scripts/bench.sh): the Qt capture of the strip and its decoding, while a
// window of this program paints the frames of messages at the top-left corner,
// where an application that was never calibrated looks for the strip.
#include "BenchSummary.h"
#include "FakePlatform.h"
#include "StripWindow.h"
#include "platform/QtScreenCapture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <array>
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

void ReaderTick(benchmark::State& state) {
    kv::fakes::FakePlatform fakes;
    kv::QtScreenCapture capture;
    kv::AppDelegate controller(
        kv::Platform{capture, fakes.defaults, fakes.desktop, fakes.runLoop, fakes.app});
    fakes.attach(controller);
    controller.loadCalibration(); // nothing stored: the default geometry
    controller.myScanRect =
        kv::Rect{static_cast<double>(controller.scanHorizOffset),
                 static_cast<double>(controller.scanVertOffset), controller.scanWidth, 1.0};
    controller.computePixelOffsets();

    kv::bench::StripWindow strip;
    strip.show();
    QApplication::processEvents();

    const std::string message = "Thrall-Silvermoon";
    const auto frames = messageFrames(message);
    std::vector<double> wall, cpu;
    std::size_t next = 0;
    int messagesRead = 0, messagesWrong = 0;
    for (auto _ : state) {
        state.PauseTiming();
        strip.showFrame(frames[next].first, frames[next].second);
        next = (next + 1) % frames.size();
        QApplication::processEvents();
        controller.currentMessage.clear();
        state.ResumeTiming();

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
    if (wall.empty())
        return;
    if (state.iterations() >= static_cast<benchmark::IterationCount>(frames.size()) && messagesRead == 0) {
        state.SkipWithError("no message was read from the painted strip: is there an X display?");
        return;
    }
    const double medianMs = percentile(wall, 0.5) * 1e3;
    const double medianCpuMs = percentile(cpu, 0.5) * 1e3;
    double cpuTotal = 0;
    for (double seconds : cpu)
        cpuTotal += seconds;
    // At 20 ticks a second, the share of one core this process spends reading.
    const double corePercent = cpuTotal / static_cast<double>(cpu.size()) * 20.0 * 100.0;
    state.counters["median_ms"] = medianMs;
    state.counters["p95_ms"] = percentile(wall, 0.95) * 1e3;
    state.counters["median_cpu_ms"] = medianCpuMs;
    state.counters["core_percent_at_20Hz"] = corePercent;
    state.counters["messages_read"] = messagesRead;
    state.counters["messages_wrong"] = messagesWrong;
}
BENCHMARK(ReaderTick)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string tick = "ReaderTick/min_time:2.000";
    defineFigure({"reader tick median", tick, "median_ms", "ms", Goal::AtMost, 0.5});
    defineFigure(
        {"reader tick CPU at 20 Hz", tick, "core_percent_at_20Hz", "% of a core", Goal::AtMost, 1.0});
    defineFigure({"reader messages read wrong", tick, "messages_wrong", "messages", Goal::AtMost, 0.0});
    return runBenchmarksAndSummarise(argc, argv, "reader_tick_bench");
}
