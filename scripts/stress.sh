#!/usr/bin/env bash
# Runs every concurrent test program (the ctest label "concurrent") of a build folder many
# times at once, beside busy loops that keep the processors loaded, to bring out faults that
# only some schedules show. Each run goes through ctest (so the test's own environment and
# filters apply), with its cases shuffled under a random GTEST_RANDOM_SEED; the runs go in a
# shuffled order. Every failure is reported with its program, its seed and its log; the
# counts of runs and failures end the output, and any failure exits non-zero.
#
#   scripts/stress.sh [-n RUNS] [-j JOBS] [-l LOAD] [BUILD_DIR]
#
#   -n RUNS   runs of each program (default 20)
#   -j JOBS   runs at a time (default: the number of processors)
#   -l LOAD   busy loops beside them (default: half the number of processors)
#   BUILD_DIR a configured and built folder (default build); a sanitizer build works alike.
#
# A failed run is repeated with: GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=<seed> \
#   ctest --test-dir BUILD_DIR -R '^<program>$' --output-on-failure
set -euo pipefail
cd "$(dirname "$0")/.."

runs=20
jobs=$(nproc)
load=$(($(nproc) / 2))
while getopts "n:j:l:" option; do
  case $option in
    n) runs=$OPTARG ;;
    j) jobs=$OPTARG ;;
    l) load=$OPTARG ;;
    *) sed -n '9,14p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=${1:-build}
timeout=${STRESS_TIMEOUT:-600}

mapfile -t programs < <(ctest --test-dir "$build" -L concurrent -N |
                        sed -n 's/^ *Test *#[0-9]*: //p')
if [ ${#programs[@]} -eq 0 ]; then
  echo "no concurrent tests in $build (configure and build it first)" >&2
  exit 2
fi

logs=$(mktemp -d "${TMPDIR:-/tmp}/stress.XXXXXX")
busy=()
stop_load() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
  busy=()
}
trap stop_load EXIT INT TERM
for ((i = 0; i < load; i++)); do
  (while :; do :; done) &
  busy+=($!)
done

# One run: index, seed, program. Writes its log and one result line.
run_one() {
  local index=$1 seed=$2 program=$3
  local pattern log=$logs/$index.log
  pattern=$(printf '%s' "$program" | sed 's/[][\.*^$+?(){}|]/\\&/g')
  if GTEST_SHUFFLE=1 GTEST_RANDOM_SEED=$seed \
       ctest --test-dir "$build" -R "^${pattern}\$" --timeout "$timeout" \
             --output-on-failure >"$log" 2>&1 &&
     ! grep -q "No tests were found" "$log"; then
    echo "pass $seed $program" >>"$logs/results"
    rm -f "$log"
  else
    echo "fail $seed $program $log" >>"$logs/results"
    echo "FAILED: $program GTEST_RANDOM_SEED=$seed (log: $log)"
  fi
}
export -f run_one
export logs build timeout

echo "== ${#programs[@]} concurrent programs x $runs runs, $jobs at a time, $load busy loops ($build)"
touch "$logs/results"
for program in "${programs[@]}"; do
  for ((r = 0; r < runs; r++)); do
    echo "$((RANDOM % 99999 + 1)) $program"
  done
done | shuf | awk '{ print NR, $0 }' |
  xargs -P "$jobs" -L 1 bash -c 'run_one "$@"' _ || true
stop_load

total=$(wc -l <"$logs/results")
failures=$(grep -c '^fail ' "$logs/results" || true)
echo "== runs: $total, failures: $failures"
if [ "$total" -ne $((${#programs[@]} * runs)) ]; then
  echo "   only $total of $((${#programs[@]} * runs)) runs reported a result (logs: $logs)"
  exit 1
fi
if [ "$failures" -gt 0 ]; then
  grep '^fail ' "$logs/results" | sort -k3 | while read -r _ seed program log; do
    echo "   $program GTEST_RANDOM_SEED=$seed  $log"
  done
  exit 1
fi
rm -rf "$logs"
