#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a
# bounded time. Each target starts from its seed corpus in
# tests/fuzz/corpus/<target>/ (made by tests/fuzz/make_corpus.sh from longer
# runs over real-world-like files), the inputs kept in tests/fuzz/found/<target>/
# and the test fixtures, so that the short runs start deep. A crash fails the
# run; each crash found becomes a fixture or a kept input. Leaks inside the
# libraries the targets call (not in this project's code) are suppressed by
# tests/fuzz/lsan.supp.
#   FUZZ_SECONDS     seconds per target (default 20)
#   FUZZ_BUILD_DIR   build folder (default build-fuzz)
#   FUZZ_TARGET      run only this target
#   FUZZ_JOBS        parallel build jobs (default: the processors)
#   FUZZ_PARALLEL    targets fuzzed at once (default: the processors)
#   FUZZ_BUILD_ONLY  set: build the targets and run nothing
#   FUZZ_LONG        set: also the long runs of the generated tests (at the end)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDJVP_FUZZ=ON -DDJVP_SANITIZE=ON -DDJVP_BUILD_PROGRAM=OFF -DDJVP_BUILD_TESTS=ON -DDJVP_WERROR=ON >/dev/null
# Only the fuzz targets (and what they link): the test programs are built
# and run under the sanitizers by the test command already.
targets=()
for src in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build "$build" -j"${FUZZ_JOBS:-$(nproc)}" --target "${targets[@]}"
if [ -n "${FUZZ_BUILD_ONLY:-}" ]; then exit 0; fi
shopt -s nullglob
# The targets run side by side, as many at a time as there are processors
# (FUZZ_PARALLEL), each for its own bounded time.
parallel=${FUZZ_PARALLEL:-$(nproc)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fuzz_one() {
  local name=$1 corpus="$work/$1.corpus" log="$work/$1.log" rc=0
  mkdir -p "$corpus"
  local seeds=()
  for d in "tests/fuzz/corpus/$name" "tests/fuzz/found/$name" tests/fixtures/*/; do
    if [ -d "$d" ]; then seeds+=("$d"); fi
  done
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/tests/fuzz/lsan.supp" "$build/bin/$name" -max_total_time="$seconds" -max_len=262144 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$corpus" "${seeds[@]}" >"$log" 2>&1 || rc=$?
  echo "$rc" > "$work/$name.rc"
}
names=()
for src in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$src" .cpp)
  if [ -n "${FUZZ_TARGET:-}" ] && [ "$name" != "$FUZZ_TARGET" ]; then continue; fi
  names+=("$name")
  echo "fuzzing $name for ${seconds}s"
  fuzz_one "$name" &
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
done
wait
failed=0
for name in "${names[@]}"; do
  rc=$(cat "$work/$name.rc")
  echo "== $name"
  if [ "$rc" -ne 0 ]; then
    tail -n 80 "$work/$name.log"
    echo "fuzz target $name failed" >&2
    failed=$rc
  else
    tail -n 3 "$work/$name.log"
  fi
done
# Opt-in (FUZZ_LONG=1): the long runs of the generated tests, bounded in the
# test command: the hand-mixing sequences of the decks' tests
# (HANDMIX_SEQUENCES of them, default 20000; seed HANDMIX_SEED) in the
# optimised build, and the seeded damaged-MP3 test over many more cases
# (DJVP_DAMAGE_CASES per song, default 500) under the sanitizers of this build.
if [ -n "${FUZZ_LONG:-}" ]; then
  cmake --build build -j"${FUZZ_JOBS:-$(nproc)}" --target decks_tests >/dev/null
  echo "== hand-mixing sequences: ${HANDMIX_SEQUENCES:-20000}"
  HANDMIX_SEQUENCES=${HANDMIX_SEQUENCES:-20000} QT_QPA_PLATFORM=offscreen \
    build/bin/decks_tests --gtest_filter='HandMixSequences.*' --gtest_brief=1 || failed=1
  cmake --build "$build" -j"${FUZZ_JOBS:-$(nproc)}" --target engine_tests
  echo "== damaged MP3s, ${DJVP_DAMAGE_CASES:-500} cases per song"
  DJVP_DAMAGE_CASES=${DJVP_DAMAGE_CASES:-500} "$build/bin/engine_tests" \
    --gtest_filter='EngineDamagedMp3.SeededDamage*' || failed=1
fi
exit "$failed"
