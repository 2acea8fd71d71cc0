#!/usr/bin/env bash
# Puts deliberate faults into a scratch copy of the committed tree, one at a
# time, and runs the tests that must catch each. The run fails when a fault
# survives (its tests pass), does not build, or no longer applies.
#
#   scripts/mutants.sh               # every fault in scripts/mutants/
#   scripts/mutants.sh sdk escape    # only the faults whose names contain a word
#   scripts/mutants.sh --list        # the faults and the tests that catch them
#   MUTANTS_JOBS=4                   # build and test jobs (default: the cores)
#   MUTANTS_TEST_TIMEOUT=120         # seconds a single test may take
#   MUTANTS_KEEP=1                   # keep the scratch folder and its logs
#
# A fault is one file, scripts/mutants/NN-name.patch: a header of three lines
#   Fault: what a user would meet
#   Targets: the build targets its tests need
#   Tests: a ctest -R expression selecting the tests that catch it
# and then the broken file as `git diff` shows it. The copy is HEAD of this
# repository; the faults are read from the working tree, so a new one can be
# tried before it is committed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
faults_dir="$root/scripts/mutants"
jobs="${MUTANTS_JOBS:-$(nproc)}"
test_timeout="${MUTANTS_TEST_TIMEOUT:-120}"

header() { # field patch
  sed -n "s/^$1: *//p;/^diff --git /q" "$2" | head -1
}

list_only=false
words=()
for arg in "$@"; do
  case "$arg" in
    --list) list_only=true ;;
    -h | --help)
      sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
      exit 0
      ;;
    *) words+=("$arg") ;;
  esac
done

faults=()
for patch in "$faults_dir"/*.patch; do
  name="$(basename "$patch" .patch)"
  if [ ${#words[@]} -gt 0 ]; then
    wanted=false
    for word in "${words[@]}"; do
      [[ "$name" == *"$word"* ]] && wanted=true
    done
    $wanted || continue
  fi
  for field in Fault Targets Tests; do
    if [ -z "$(header "$field" "$patch")" ]; then
      echo "mutants: $name has no '$field:' line" >&2
      exit 2
    fi
  done
  faults+=("$patch")
done
if [ ${#faults[@]} -eq 0 ]; then
  echo "mutants: no fault matches: ${words[*]}" >&2
  exit 2
fi

if $list_only; then
  for patch in "${faults[@]}"; do
    printf '%s\n  fault:   %s\n  targets: %s\n  tests:   %s\n' "$(basename "$patch" .patch)" \
      "$(header Fault "$patch")" "$(header Targets "$patch")" "$(header Tests "$patch")"
  done
  exit 0
fi

started=$SECONDS
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kv-mutants-XXXXXX")"
if [ "${MUTANTS_KEEP:-0}" = 1 ]; then
  trap 'echo "mutants: scratch kept in $scratch"' EXIT
else
  trap 'rm -rf "$scratch"' EXIT
fi
src="$scratch/src"
build="$scratch/build"
logs="$scratch/logs"
mkdir -p "$src" "$logs"

# The copy is a repository of its own, so that git apply works on exactly
# this tree wherever the temporary folder is, and a revert can be checked.
git -C "$root" archive --format=tar HEAD | tar -x -C "$src"
git -C "$src" init -q
git -C "$src" add -A
git -C "$src" -c user.name=mutants -c user.email=mutants@localhost commit -q -m "as committed"

# A compiler cache (CMAKE_CXX_COMPILER_LAUNCHER=ccache) finds the same
# sources again only relative to this folder.
export CCACHE_BASEDIR="$scratch" CCACHE_NOHASHDIR=1

elapsed() { echo "$((SECONDS - $1)) s"; }

targets=()
for patch in "${faults[@]}"; do
  read -r -a own <<<"$(header Targets "$patch")"
  targets+=("${own[@]}")
done
mapfile -t targets < <(printf '%s\n' "${targets[@]}" | sort -u)

step=$SECONDS
echo "mutants: building ${targets[*]} in $scratch"
if ! cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$logs/configure.log" 2>&1 ||
  ! cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$logs/build.log" 2>&1; then
  tail -n 40 "$logs/configure.log" "$logs/build.log" 2>/dev/null >&2
  echo "mutants: the tree as committed does not build" >&2
  exit 2
fi
echo "mutants: built in $(elapsed $step)"

# ctest -R expressions of the faults, each selecting at least one test.
selections=()
for patch in "${faults[@]}"; do
  tests="$(header Tests "$patch")"
  # Read the whole listing first: grep -q would stop reading early, and the
  # broken pipe would fail the pipeline.
  listing="$(ctest --test-dir "$build" -N -R "$tests")"
  if ! grep -q '^ *Test *#' <<<"$listing"; then
    echo "mutants: $(basename "$patch" .patch) selects no test with '$tests'" >&2
    exit 2
  fi
  selections+=("$tests")
done

# The tests of every fault pass on the tree as it is: otherwise a fault's
# failing test would prove nothing.
step=$SECONDS
# Joined without parentheses of their own: CMake's regular expressions take
# at most nine groups, and one with more matches nothing.
all="$(printf '%s\n' "${selections[@]}" | sort -u | paste -sd '|' -)"
if ! ctest --test-dir "$build" -R "$all" -j "$jobs" --timeout "$test_timeout" --output-on-failure \
  --no-tests=error >"$logs/baseline.log" 2>&1; then
  tail -n 60 "$logs/baseline.log" >&2
  echo "mutants: the selected tests fail on the tree as committed" >&2
  exit 2
fi
echo "mutants: $(grep -c ' Test *#' "$logs/baseline.log") tests pass as committed ($(elapsed $step))"

# The tests a ctest log names as failed, comma-separated.
failed_tests() {
  sed -n '/^The following tests FAILED:/,$ s/^[[:space:]]*[0-9]\{1,\} - \(.*\) (\(.*\))$/\1 (\2)/p' "$1" |
    paste -sd, - | sed 's/,/, /g'
}

results=()
bad=0
for patch in "${faults[@]}"; do
  name="$(basename "$patch" .patch)"
  tests="$(header Tests "$patch")"
  read -r -a own <<<"$(header Targets "$patch")"
  log="$logs/$name.log"
  step=$SECONDS
  if ! git -C "$src" apply "$patch" >"$log" 2>&1; then
    outcome="NO LONGER APPLIES"
    detail="$(head -n 1 "$log")"
  elif ! cmake --build "$build" -j "$jobs" --target "${own[@]}" >>"$log" 2>&1; then
    outcome="DOES NOT BUILD"
    detail="$(grep -m 1 'error' "$log" || true)"
  elif ctest --test-dir "$build" -R "$tests" -j "$jobs" --timeout "$test_timeout" --stop-on-failure \
    --no-tests=error >>"$log" 2>&1; then
    outcome="SURVIVED"
    detail="the tests pass: $tests"
  else
    detail="$(failed_tests "$log")"
    if [ -n "$detail" ]; then
      outcome="caught"
    else
      outcome="TESTS DID NOT RUN"
      detail="$(tail -n 1 "$log")"
    fi
  fi
  if git -C "$src" diff --quiet; then
    :
  elif ! git -C "$src" apply -R "$patch" >>"$log" 2>&1 || ! git -C "$src" diff --quiet; then
    echo "mutants: $name could not be taken out again; the copy is broken" >&2
    exit 2
  fi
  [ "$outcome" = caught ] || bad=$((bad + 1))
  results+=("$name|$outcome|$(elapsed $step)|$detail")
  printf 'mutants: %-40s %-18s %s\n' "$name" "$outcome" "$(elapsed $step)"
  if [ "$outcome" != caught ]; then
    tail -n 30 "$log" | sed 's/^/    /'
  fi
done

echo
printf '%-40s %-18s %-6s %s\n' fault outcome time "caught by"
for row in "${results[@]}"; do
  IFS='|' read -r name outcome time detail <<<"$row"
  printf '%-40s %-18s %-6s %s\n' "$name" "$outcome" "${time% s}s" "$detail"
done
echo
echo "mutants: ${#faults[@]} faults, $bad not caught, $(elapsed $started) in all"
[ "$bad" -eq 0 ]
