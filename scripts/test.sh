#!/usr/bin/env bash
# Installs what is missing, builds everything, runs every test; then builds the tests again
# with address and undefined-behaviour sanitizers and runs them, and runs the concurrent
# tests under the thread sanitizer. Any failure exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
run_suite() {  # folder, cmake options..., then -- ctest options
  local dir=$1; shift
  local cmake_args=() ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  ctest_args=("$@")
  cmake -S . -B "$dir" -G Ninja "${cmake_args[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${ctest_args[@]}"
}

echo "== build and tests"
run_suite build
echo "== address and undefined-behaviour sanitizers"
run_suite build-asan -DZELPH_SANITIZE=address,undefined
echo "== thread sanitizer (concurrent tests)"
BUILD_TARGET=concurrent_tests run_suite build-tsan -DZELPH_SANITIZE=thread -- -L concurrent
