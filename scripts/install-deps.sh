#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Korvane needs to build, test, run and
# benchmark. Safe to run again: packages already present are skipped.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang-format
  # Qt 6 (core, gui, widgets, dbus, svg icons, platform plugins)
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libqt6svg6
  libgl-dev
  # decoding
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev ffmpeg
  # version block of the executables (ELF sections)
  libelf-dev
  # web services
  libcurl4-openssl-dev ca-certificates libcpp-httplib-dev libssl-dev
  libsqlite3-dev sqlite3 openssl
  # tests
  libgtest-dev libgmock-dev googletest xvfb xauth x11-utils imagemagick dbus
  fonts-dejavu-core
  # fuzzing (libFuzzer ships with clang's runtime)
  clang libclang-rt-dev
  # benchmarks; the assessment's labelled corpus renders music with a lossless
  # origin: MIDI songs through a sampled General MIDI bank, tracker modules
  sox libsox-fmt-all time python3
  fluidsynth fluid-soundfont-gm openttd-openmsx openmpt123 tecnoballz-data
  # the .deb package (make package) and its desktop entry; the parallel recipe
  dpkg-dev fakeroot desktop-file-utils parallel
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
