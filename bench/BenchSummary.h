// The figures each benchmark program is judged by. A figure is a counter of a
// benchmark's run (or its real time); with --benchmark_repetitions the median
// run's counter is taken. After the runs, one line per figure: PASS or MISS.
#ifndef KV_BENCH_SUMMARY_H
#define KV_BENCH_SUMMARY_H

#include <string>

enum class Goal { AtLeast, AtMost, ReportOnly };

struct FigureDefinition {
    std::string label;     // what the summary line calls it
    std::string benchmark; // the run's name without the aggregate, e.g. "ContentPush/1024/manual_time"
    std::string counter;   // a counter's name, or "real_time" (in the benchmark's unit)
    std::string unit;
    Goal goal = Goal::ReportOnly;
    double target = 0.0;
};

// Declares a figure; call before running.
void defineFigure(FigureDefinition definition);

// Runs the benchmarks selected on the command line, then prints the summary.
// Returns the process's exit status: 0 even when a target is missed (a miss
// is a finding, not a broken program), 1 on bad arguments.
int runBenchmarksAndSummarise(int argc, char** argv, const char* programName);

#endif
