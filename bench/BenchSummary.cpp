#include "BenchSummary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace {

struct Figure {
    double value = 0.0;
    std::string unit;
    Goal goal = Goal::ReportOnly;
    double target = 0.0;
};

std::mutex figuresMutex;
std::map<std::string, Figure>& figures() {
    static std::map<std::string, Figure> recorded;
    return recorded;
}

const char* verdict(const Figure& figure) {
    switch (figure.goal) {
    case Goal::AtLeast:
        return figure.value >= figure.target ? "PASS" : "MISS";
    case Goal::AtMost:
        return figure.value <= figure.target ? "PASS" : "MISS";
    case Goal::ReportOnly:
        break;
    }
    return "INFO";
}

} // namespace

void recordFigure(const std::string& name, double value, const std::string& unit, Goal goal, double target) {
    std::lock_guard lock(figuresMutex);
    figures()[name] = Figure{value, unit, goal, target};
}

int runBenchmarksAndSummarise(int argc, char** argv, const char* programName) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::lock_guard lock(figuresMutex);
    for (const auto& [name, figure] : figures()) {
        char target[64] = "";
        if (figure.goal == Goal::AtLeast)
            std::snprintf(target, sizeof target, " (target >= %g)", figure.target);
        else if (figure.goal == Goal::AtMost)
            std::snprintf(target, sizeof target, " (target <= %g)", figure.target);
        std::printf("SUMMARY %s %s: %.4g %s%s %s\n", programName, name.c_str(), figure.value,
                    figure.unit.c_str(), target, verdict(figure));
    }
    std::fflush(stdout);
    return 0;
}
