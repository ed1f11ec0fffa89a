#!/usr/bin/env bash
# Installs what is missing, checks the formatting of the tracked C++ files, builds everything
# (the benchmarks compiled, not run), runs every test; builds the Debian package and runs the
# end-to-end test against the program unpacked from it (scripts/test_package.sh); then builds the tests again with
# address and undefined-behaviour sanitizers and runs them, and runs the concurrent tests
# under the thread sanitizer. Any failure exits non-zero.
#
# The cases of every test program run in a shuffled order. The seed is printed first; set
# GTEST_RANDOM_SEED to it (1 to 99999) to run the same orders again. JOBS sets the compile and
# test jobs (default: the number of processors).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=${JOBS:-$(nproc)}
run_suite() {  # folder, cmake options..., then -- ctest options
  local dir=$1; shift
  local cmake_args=() ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  ctest_args=("$@")
  cmake -S . -B "$dir" -G Ninja "${cmake_args[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" --target ${BUILD_TARGETS:-all}
  GTEST_SHUFFLE=1 ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${ctest_args[@]}"
}

export GTEST_RANDOM_SEED=${GTEST_RANDOM_SEED:-$((RANDOM % 99999 + 1))}
echo "== test order seed: GTEST_RANDOM_SEED=$GTEST_RANDOM_SEED"

echo "== formatting (.clang-format)"
git ls-files -z '*.cpp' '*.cc' '*.h' '*.hpp' | xargs -0 clang-format --dry-run -Werror

echo "== build, benchmarks and tests"
BUILD_TARGETS="all benchmarks" run_suite build
echo "== the Debian package: the installed program"
scripts/test_package.sh
echo "== address and undefined-behaviour sanitizers"
run_suite build-asan -DZELPH_SANITIZE=address,undefined
echo "== thread sanitizer (concurrent tests)"
BUILD_TARGETS=concurrent_tests run_suite build-tsan -DZELPH_SANITIZE=thread -- -L concurrent
