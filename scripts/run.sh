#!/usr/bin/env bash
# Builds Sonivel (release) and starts it.
#   bash scripts/run.sh [FILE.wav | FOLDER]...
# With files or folders, Sonivel plays the first and makes a playlist of all;
# without, it plays its demo (an 11025 Hz 8-bit mono tune, so what you hear
# is the conversion at work). Without a display, it converts the first file
# (or the demo) with sonivel-convert to NAME-sonivel.wav in the current
# folder instead.
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

cd "$here"
file=${1:-$root/build/release/app/demo.wav}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  out="$(basename "${file%.*}")-sonivel.wav"
  echo "There is no display to show Sonivel's window on, so $file is converted to $here/$out instead."
  exec "$root/build/release/app/sonivel-convert" "$file" "$out"
fi
[ $# -gt 0 ] || set -- "$file"
exec "$root/build/release/app/sonivel" "$@"
