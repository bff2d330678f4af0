#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running the
# program need. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # program and libraries
  qt6-base-dev libgl-dev
  portaudio19-dev libasound2-dev libasound2-plugins alsa-utils
  libsoundtouch-dev libmpg123-dev libvorbis-dev libflac-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  mp3gain fonts-dejavu-core xdg-utils
  # Qt's own texts (standard buttons, file dialogs) in Dutch
  qt6-translations-l10n
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  # fixture makers and independent readers
  lame twolame flac vorbis-tools ffmpeg sox python3 python3-mutagen
  libtag1-dev aubio-tools
  # reference tools of the sound benchmarks
  mpg123 soundstretch
  # saves stopped or stalled at a chosen system call (scripts/save-trials)
  strace
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${packages[@]}"
