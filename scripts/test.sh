#!/usr/bin/env bash
# Installs everything, builds, and runs every test: first the normal build,
# then everything again under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang), then the sound engine's tests and the deck tests (which drive the
# engine from the program's side) under ThreadSanitizer, then a bounded
# fuzzing of the file parsers and the sound engine. Ends with one summary line of all test
# results.
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

# Release (-O3), where the optimiser warns of more than at the developers'
# default level; the benchmarks are built (not run) so that they keep
# compiling.
bash scripts/build.sh -DCMAKE_BUILD_TYPE=Release -DDJVP_BUILD_BENCH=ON
ctest --test-dir build --output-on-failure -j"$jobs" | tee "$logs/normal.txt"

CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDJVP_SANITIZE=ON -DDJVP_WERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j"$jobs" | tee "$logs/asan.txt"

# ThreadSanitizer (clang): only the targets it checks are built; CTest lists
# the others as *_NOT_BUILT, which are left out. Of the real-device tests one
# runs here: under TSan each start of PortAudio takes seconds, and the
# speaker-pair test starts it ten times for the same threads.
CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDJVP_TSAN=ON -DDJVP_WERROR=ON
cmake --build build-tsan -j"$jobs" --target engine_tests decks_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan -E '_NOT_BUILT$|^EnginePortAudio\.SpeakerFlags' --output-on-failure -j"$jobs" | tee "$logs/tsan.txt"

# Bounded fuzzing of the file parsers and the sound engine (a crash fails the run).
FUZZ_SECONDS=${FUZZ_SECONDS:-20} bash scripts/fuzz.sh

# Every CTest run passed (set -e and pipefail stop at a failure): add them up.
total=0
for f in "$logs"/*.txt; do
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$f" | tail -n 1)
  total=$((total + ${n:-0}))
done
echo "$total passed, 0 failed"
