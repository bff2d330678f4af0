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
# DJVP_SCREENSHOT_TAGS=song.mp3 takes the picture of the tag editor open on
# that song instead (into docs/tageditor.png unless told otherwise);
# DJVP_SCREENSHOT_TAGS=demo makes a song tagged with mutagen first (sox, lame,
# Debian's python3-mutagen), as for the README's picture.
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
default_out=docs/screenshot.png
[ -n "${DJVP_SCREENSHOT_TAGS:-}" ] && default_out=docs/tageditor.png
out="${1:-$default_out}"
build="${BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S . -B "$build" -G Ninja
fi
cmake --build "$build" --target djvorlanpellix Sonavex2 djvp_resources
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$(dirname "$out")"
if [ "${DJVP_SCREENSHOT_TAGS:-}" = demo ]; then
  sox -n -r 44100 -c 2 "$scratch/t.wav" synth 5 sine 220 sine 330 vol 0.5
  lame --silent "$scratch/t.wav" "$scratch/Harbour Lights - Night Run.mp3"
  /usr/bin/python3 - "$scratch/Harbour Lights - Night Run.mp3" <<'PY'
import sys
from mutagen.id3 import (ID3, TPE1, TALB, TIT2, TYER, TCON, TRCK, TIT1, TLAN, TENC, TCOP, TCOM, TPE2, TSSE, TBPM,
    TOWN, COMM)
t = ID3()
for frame in [TPE1(text="Deep Water"), TALB(text="Harbour Lights"), TIT2(text="Night Run"), TYER(text="2021"),
              TCON(text="Deep House"), TRCK(text="3/10"), TIT1(text="Late Sets"), TLAN(text="eng"),
              TENC(text="Studio North"), TCOP(text="2021 Harbour Records"), TCOM(text="M. Lindqvist"),
              TPE2(text="Deep Water Ensemble"), TSSE(text="LAME 3.100 -V2"), TBPM(text="122"),
              TOWN(text="Harbour Records"), COMM(lang="eng", desc="", text="Extended mix")]:
    frame.encoding = 1
    t.add(frame)
t.save(sys.argv[1], v2_version=3)
PY
  export DJVP_SCREENSHOT_TAGS="$scratch/Harbour Lights - Night Run.mp3"
fi
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
