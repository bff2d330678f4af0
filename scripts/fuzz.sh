#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a
# bounded time with the test fixtures as seed corpus. A crash fails the run;
# each crash found becomes a fixture.
#   FUZZ_SECONDS  seconds per target (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDJVP_FUZZ=ON -DDJVP_SANITIZE=ON -DDJVP_BUILD_PROGRAM=OFF -DDJVP_BUILD_TESTS=ON -DDJVP_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)"
shopt -s nullglob
for src in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$src" .cpp)
  corpus=$(mktemp -d)
  seeds=()
  for d in tests/fixtures/*/; do seeds+=("$d"); done
  echo "fuzzing $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/bin/$name" -max_total_time="$seconds" -max_len=262144 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
  rc=${PIPESTATUS[0]}
  rm -rf "$corpus"
  if [ "$rc" -ne 0 ]; then
    echo "fuzz target $name failed" >&2
    exit "$rc"
  fi
done
