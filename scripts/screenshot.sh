#!/usr/bin/env bash
# Renders the main window under a virtual X server (English, the default
# skin, fresh settings) and saves it as docs/screenshot.png.
#
#   bash scripts/screenshot.sh [output.png]
#
# BUILD_DIR chooses the build folder (default: build); it is configured and
# the program built there when needed.
#
# DJVP_SCREENSHOT_SONGS=a.mp3:b.mp3 puts one song on each deck and starts it
# before the picture is taken; DJVP_SCREENSHOT_SONGS=demo makes two tagged
# 30-second songs first (sox and lame) and uses them, as for the README's
# picture.
#
# Where the sound goes: the program plays on the devices its settings choose,
# and with fresh settings that is the first entry of the device list. On a
# machine without a sound card (a virtual server, a container) the list holds
# only "No sound", which plays at the real pace without any card: the songs'
# positions run and the level meters show the levels of what is played. On a
# machine with a sound card the songs are heard on it while the picture is
# taken.
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
if [ "${DJVP_SCREENSHOT_SONGS:-}" = demo ]; then
  # Two songs of steady chords whose loudness swells, each with its own tags.
  sox -n -r 44100 -c 2 "$scratch/a.wav" synth 30 sine 220 sine 330 tremolo 1.5 40 vol 0.97
  sox -n -r 44100 -c 2 "$scratch/b.wav" synth 30 sine 330 sine 495 tremolo 2.5 60 vol 0.7
  lame --silent --ta "Deep Water" --tt "Night Run" --tl "Harbour Lights" --ty 2021 "$scratch/a.wav" "$scratch/a.mp3"
  lame --silent --ta "Cold Signal" --tt "Glass Avenue" --tl "Low Orbit" --ty 2023 "$scratch/b.wav" "$scratch/b.mp3"
  export DJVP_SCREENSHOT_SONGS="$scratch/a.mp3:$scratch/b.mp3"
fi
# A clean user: no stored settings, so the window starts in English with the
# first skin.
XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run" \
  AUTOMATION_REGISTRY_FILE="$scratch/registry.ini" \
  xvfb-run -a -s "-screen 0 1280x720x24" \
  "$build/bin/djvorlanpellix" --screenshot "$(realpath -m "$out")"
echo "wrote $out"
