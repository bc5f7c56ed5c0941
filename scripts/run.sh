#!/usr/bin/env bash
# Builds Sonivel (release) and starts it.
#   bash scripts/run.sh [FILE.wav]
# The player window is not built yet: with a file, this converts it with
# sonivel-convert to FILE-sonivel.wav in the current folder (44100 Hz,
# 16-bit stereo, stereo effect on).
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
convert=$root/build/release/app/sonivel-convert
cd "$here"
if [ $# -lt 1 ]; then
  echo "The player window is not built yet. Convert a file with:"
  echo "  bash scripts/run.sh FILE.wav      (or $convert --help)"
  exit 0
fi
out="$(basename "${1%.*}")-sonivel.wav"
exec "$convert" "$1" "$out"
