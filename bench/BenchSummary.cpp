#include "BenchSummary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

struct Figure {
    FigureDefinition definition;
    std::optional<double> value;
};

std::vector<Figure>& figures() {
    static std::vector<Figure> defined;
    return defined;
}

// The console report as usual; on the side, the figures from each run. A
// median aggregate comes after its repetitions and so has the last word.
class FigureCollector : public benchmark::ConsoleReporter {
public:
    // Colours and counter columns on a terminal; plain name=value counters
    // in a file, which reads better there.
    FigureCollector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            for (Figure& figure : figures()) {
                if (figure.definition.benchmark != run.run_name.str())
                    continue;
                if (figure.definition.counter == "real_time") {
                    figure.value = run.GetAdjustedRealTime();
                    continue;
                }
                const auto counter = run.counters.find(figure.definition.counter);
                if (counter != run.counters.end())
                    figure.value = counter->second.value;
            }
        }
    }
};

const char* verdict(const Figure& figure) {
    const double value = *figure.value;
    switch (figure.definition.goal) {
    case Goal::AtLeast:
        return value >= figure.definition.target ? "PASS" : "MISS";
    case Goal::AtMost:
        return value <= figure.definition.target ? "PASS" : "MISS";
    case Goal::ReportOnly:
        break;
    }
    return "INFO";
}

} // namespace

void defineFigure(FigureDefinition definition) {
    figures().push_back(Figure{std::move(definition), std::nullopt});
}

int runBenchmarksAndSummarise(int argc, char** argv, const char* programName) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    FigureCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const Figure& figure : figures()) {
        if (!figure.value)
            continue; // not selected, or failed: its error is in the report above
        char target[64] = "";
        if (figure.definition.goal == Goal::AtLeast)
            std::snprintf(target, sizeof target, " (target >= %g)", figure.definition.target);
        else if (figure.definition.goal == Goal::AtMost)
            std::snprintf(target, sizeof target, " (target <= %g)", figure.definition.target);
        std::printf("SUMMARY %s %s: %.4g %s%s %s\n", programName, figure.definition.label.c_str(),
                    *figure.value, figure.definition.unit.c_str(), target, verdict(figure));
    }
    std::fflush(stdout);
    return 0;
}
