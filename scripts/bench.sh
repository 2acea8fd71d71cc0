#!/usr/bin/env bash
# Builds the benchmarks in a Release folder of their own (build/bench) and runs
# them. Each prints its figures against a reference measured in the same run
# and ends with SUMMARY lines (PASS or MISS); the JSON results and the
# throughput plot land in build/bench/results.
#   scripts/bench.sh [Google Benchmark flags instead of the default five
#   repetitions, e.g. --benchmark_filter=Ring]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"
results="$build/results"
jobs="${JOBS:-2}"

targets=(sdk_bench json_bench host_bench throughput_svg)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# The reader tick and hand-off benchmarks need the desktop application's Qt
# capture (and the latter the SDK's test host); they exist only when those do.
for gui in reader_tick_bench handoff_latency_bench; do
  if cmake --build "$build" --target help | grep -q "^$gui:"; then
    targets+=("$gui")
  fi
done
cmake --build "$build" --target "${targets[@]}" -j "$jobs"
mkdir -p "$results"

echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -1), load$(uptime | sed 's/.*load average//')"

run() {
  local name="$1"
  shift
  "$@" --benchmark_out="$results/$name.json" --benchmark_out_format=json "${extra[@]}" |
    tee "$results/$name.txt"
}

# Five repetitions by default: the figures are the medians, which a busy
# machine disturbs less than a single run.
extra=("$@")
if [ ${#extra[@]} -eq 0 ]; then
  extra=(--benchmark_repetitions=5 --benchmark_display_aggregates_only=true)
fi
run sdk_bench "$build/bin/sdk_bench"
run json_bench "$build/bin/json_bench"
run host_bench "$build/bin/host_bench"
for gui in reader_tick_bench handoff_latency_bench; do
  [ -x "$build/bin/$gui" ] || continue
  # The capture needs an X display; a private virtual one when there is none.
  if [ -n "${DISPLAY:-}" ]; then
    run "$gui" "$build/bin/$gui"
  else
    run "$gui" xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/$gui"
  fi
done
"$build/bin/throughput_svg" "$results/sdk_bench.json" "$results/performance-throughput.svg"

echo
echo "Results in $results"
grep -h '^SUMMARY' "$results"/*.txt
