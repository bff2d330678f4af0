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

# Another apt or dpkg (a machine updating itself, a package manager left
# open) may hold apt's locks. apt-get then waits for the dpkg lock itself up
# to the time below; a lock it does not wait for (the package lists') is
# tried again every few seconds until the same time has passed. Only then,
# or on any other error, does the script fail with apt-get's message.
lock_wait=${APT_LOCK_WAIT:-900}
apt_get() {
  local deadline=$((SECONDS + lock_wait)) err rc
  err=$(mktemp)
  while :; do
    rc=0
    $SUDO apt-get -o DPkg::Lock::Timeout="$lock_wait" "$@" 2>"$err" || rc=$?
    cat "$err" >&2
    if [ "$rc" -eq 0 ]; then break; fi
    if ! grep -qE 'Could not get lock|Unable to acquire the dpkg frontend lock|Unable to lock' "$err" ||
      [ "$SECONDS" -ge "$deadline" ]; then
      break
    fi
    echo "apt is busy: another program holds its lock; trying again in 5 seconds" >&2
    sleep 5
  done
  rm -f "$err"
  return "$rc"
}

export DEBIAN_FRONTEND=noninteractive
apt_get update
apt_get install -y --no-install-recommends "${packages[@]}"
