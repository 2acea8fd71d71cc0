#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, preset "fuzz") and runs each for a bounded
# time, starting from its checked-in corpus. Fails when a target finds a crash,
# a sanitizer report or a broken property; the input that did it is left in the
# artifact folder printed at the end.
#
#   scripts/ci-reliability.sh            # about 60 s per target
#   FUZZ_SECONDS=300 scripts/ci-reliability.sh
#
# The seed is fixed (FUZZ_SEED, default 1), so a run explores the same inputs in
# the same order each time: a failure here is a finding, not bad luck, and can be
# repeated. Set FUZZ_SEED=0 for a fresh random seed on longer runs.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
seed="${FUZZ_SEED:-1}"
jobs="${JOBS:-2}"
build="build/fuzz"

# target            corpus folder (in the source tree)      longest input
targets=(
  "json_fuzzer                      fuzz/corpus/json                    4096"
  "inbound_records_fuzzer           fuzz/corpus/inbound_records         8192"
  "settings_file_fuzzer             fuzz/corpus/settings_file           4096"
  "strip_frames_fuzzer              fuzz/corpus/strip_frames            4096"
  "calibration_search_fuzzer        fuzz/corpus/calibration_search      3600"
  "kesh_host_messagereader_fuzzer   host/fuzz/corpus/message_reader     65536"
  "kesh_host_pageeditor_fuzzer      host/fuzz/corpus/page_editor        8192"
)

cmake --preset fuzz >/dev/null
names=()
for entry in "${targets[@]}"; do
  read -r name _ _ <<<"$entry"
  names+=("$name")
done
cmake --build "$build" -j "$jobs" --target "${names[@]}"

work="$(mktemp -d "${TMPDIR:-/tmp}/kv-fuzz-XXXXXX")"
# The settings target writes and flushes a file per input: in memory it runs
# several times faster.
scratch="${TMPDIR:-/tmp}"
if [[ -d /dev/shm && -w /dev/shm ]]; then scratch=/dev/shm; fi
failed=()
for entry in "${targets[@]}"; do
  read -r name corpus maxlen <<<"$entry"
  # The fuzzer adds what it finds to a scratch copy; the checked-in corpus
  # stays as it is.
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  cp -r "$corpus"/. "$work/$name/corpus/"
  echo "== $name: ${seconds}s"
  if ! TMPDIR="$scratch" "$build/bin/$name" -max_total_time="$seconds" -seed="$seed" -max_len="$maxlen" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/$name/artifacts/" "$work/$name/corpus" \
        >"$work/$name/log" 2>&1; then
    failed+=("$name")
    tail -n 40 "$work/$name/log"
  else
    grep -E '^(Done|stat::number_of_executed_units)' "$work/$name/log" || true
  fi
done

if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $work/*/artifacts)"
  exit 1
fi
rm -rf "$work"
echo "fuzzing: ${#targets[@]} targets ran ${seconds}s each without a fault"
