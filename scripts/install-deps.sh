#!/usr/bin/env bash
# Installs every package Sonivel needs to build, run and test, from Debian's
# archive. Idempotent: does nothing when all are present. Needs root (or sudo).
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-translations-l10n libsdl2-dev libsndfile1-dev libpulse-dev
  # tests, fuzzing, benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # looking at and listening to what the program does
  xvfb xauth x11-utils xdotool imagemagick sox espeak-ng desktop-file-utils libglib2.0-bin appstream dpkg-dev dbus-daemon dbus-bin
  # a real sound server and the players the benchmarks compare with
  pulseaudio pulseaudio-utils alsa-utils pipewire pipewire-pulse wireplumber
  # the Windows build, cross-compiled and run under Wine
  g++-mingw-w64-x86-64-posix wine64
  # the user's guide checked by strict parsers
  python3-html5lib libxml2-utils
  # a screen reader's view of the windows
  at-spi2-core python3-gi gir1.2-atspi-2.0
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root (or install sudo) to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
