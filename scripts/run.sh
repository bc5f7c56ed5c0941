#!/usr/bin/env bash
# Builds Sonivel (release) and starts it.
#   bash scripts/run.sh [FILE.wav]
# With a file, Sonivel opens and plays it. Without a display, it converts the
# file instead with sonivel-convert, to FILE-sonivel.wav in the current folder.
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
cd "$here"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  if [ $# -lt 1 ]; then
    echo "There is no display to show Sonivel's window on; give a wave file to convert it instead."
    exit 0
  fi
  out="$(basename "${1%.*}")-sonivel.wav"
  echo "There is no display to show Sonivel's window on, so $1 is converted to $here/$out instead."
  exec "$root/build/release/app/sonivel-convert" "$1" "$out"
fi
exec "$root/build/release/app/sonivel" "$@"
