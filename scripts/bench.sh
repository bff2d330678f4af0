#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all; figures go to stdout.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDJVP_BUILD_BENCH=ON -DDJVP_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)"
for b in build-bench/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
