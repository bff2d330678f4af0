#!/usr/bin/env bash
# Renders the main window under a virtual X server (English, the default
# skin, fresh settings) and saves it as docs/screenshot.png.
#
#   bash scripts/screenshot.sh [output.png]
#
# BUILD_DIR chooses the build folder (default: build); it is configured and
# the program built there when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshot.png}"
build="${BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S . -B "$build" -G Ninja
fi
cmake --build "$build" --target djvorlanpellix Sonavex2 djvp_resources
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$(dirname "$out")"
# A clean user: no stored settings, so the window starts in English with the
# first skin.
XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run" \
  AUTOMATION_REGISTRY_FILE="$scratch/registry.ini" \
  xvfb-run -a -s "-screen 0 1280x720x24" \
  "$build/bin/djvorlanpellix" --screenshot "$(realpath -m "$out")"
echo "wrote $out"
