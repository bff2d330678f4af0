#!/usr/bin/env bash
# Configures and builds the program, the tag library and the tests in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDJVP_WERROR=ON "$@"
cmake --build build -j"$(nproc)"
