#!/usr/bin/env bash
# Installs everything, builds, and runs every test: first the normal build,
# then the pure C++ libraries again under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
# Tests never need a display or a sound card (also while CTest lists them).
export QT_QPA_PLATFORM=offscreen

bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"

CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDJVP_SANITIZE=ON -DDJVP_BUILD_PROGRAM=OFF -DDJVP_WERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Bounded fuzzing of the file parsers.
FUZZ_SECONDS=${FUZZ_SECONDS:-20} bash scripts/fuzz.sh
