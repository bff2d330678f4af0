#!/usr/bin/env bash
# Installs everything, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -x build/bin/djvorlanpellix ]; then
  exec build/bin/djvorlanpellix "$@"
fi
echo "The program's window is not built yet: the tag library (build/bin/libSonavex2.so) and the tests are."
