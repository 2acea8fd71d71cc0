// The figures each benchmark program is judged by: recorded while the
// benchmarks run (the last run of a benchmark is the one reported) and printed
// after them as one line per figure with PASS or MISS.
#ifndef KV_BENCH_SUMMARY_H
#define KV_BENCH_SUMMARY_H

#include <string>

enum class Goal { AtLeast, AtMost, ReportOnly };

// Records `value` (in `unit`) for the figure `name`, judged against `target`.
void recordFigure(const std::string& name, double value, const std::string& unit, Goal goal,
                  double target = 0.0);

// Runs the benchmarks selected on the command line, then prints the summary.
// Returns the process's exit status: 0 even when a target is missed (a miss
// is a finding, not a broken program), 1 on bad arguments.
int runBenchmarksAndSummarise(int argc, char** argv, const char* programName);

#endif
