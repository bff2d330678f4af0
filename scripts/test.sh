#!/usr/bin/env bash
# Installs everything, builds, and runs every test: first the normal build,
# then everything again under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang), then a bounded fuzzing of the file parsers. Ends with one summary
# line of all test results.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The logic folders know no widgets and the folders include no cycle.
bash scripts/check-layers.sh
jobs=$(nproc)
# Tests never need a display or a sound card (also while CTest lists them).
export QT_QPA_PLATFORM=offscreen
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

bash scripts/build.sh -DDJVP_BUILD_BENCH=ON  # the benchmarks are built (not run) so that they keep compiling
ctest --test-dir build --output-on-failure -j"$jobs" | tee "$logs/normal.txt"

CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDJVP_SANITIZE=ON -DDJVP_WERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j"$jobs" | tee "$logs/asan.txt"

# Bounded fuzzing of the file parsers (a crash fails the run).
FUZZ_SECONDS=${FUZZ_SECONDS:-20} bash scripts/fuzz.sh

# Both CTest runs passed (set -e and pipefail stop at a failure): add them up.
total=0
for f in "$logs"/*.txt; do
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$f" | tail -n 1)
  total=$((total + ${n:-0}))
done
echo "$total passed, 0 failed"
