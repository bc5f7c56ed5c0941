#!/usr/bin/env bash
# Converting a collection: a tree of 200 ten-second files (nested folders,
# the three old rates, 8 and 16 bits, mono and stereo) to 44100 Hz 16-bit
# stereo with sonivel-convert's batch mode, against a shell loop over sox and
# one over ffmpeg doing the same, and the same loops run in parallel
# (xargs -P, one per processor) for a fair comparison. Each is run 3 times,
# the best wall time kept; all in one run on this machine. Installs sox and
# ffmpeg when missing.
#
#   bash bench/convert_tree.sh [build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
convert=$(realpath "$build/app/sonivel-convert" 2>/dev/null || true)
[ -x "$convert" ] || { cmake --preset release >/dev/null && cmake --build --preset release --target sonivel-convert;
                       convert=$(realpath "$build/app/sonivel-convert"); }
for tool in sox ffmpeg; do
  command -v $tool >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $tool >/dev/null
done
cores=$(nproc)

# In memory when possible, so disk write-back does not blur the comparison.
work=$(mktemp -d -p "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
trap 'rm -rf "$work"' EXIT
formats=("11025 8 1" "22050 8 1" "22050 16 1" "11025 16 2" "22050 16 2")
for i in $(seq 0 199); do
  read -r rate bits ch <<<"${formats[$((i % 5))]}"
  enc=signed; [ "$bits" = 8 ] && enc=unsigned
  folder="$work/tree/Tape $((i / 20))/Side $((i % 2))"
  mkdir -p "$folder"
  sox -n -r "$rate" -b "$bits" -c "$ch" -e $enc "$folder/track $i.wav" synth 10 pinknoise vol 0.5
done
count=$(find "$work/tree" -name '*.wav' | wc -l)
bytes_in=$(du -sb "$work/tree" | cut -f1)

source bench/timing.sh
# Each run starts with an empty output folder.
export BEFORE_EACH='rm -rf "$work/out"; mkdir -p "$work/out"'
best() { best_of 3 "$@"; }
# One file with each tool, the output beside it in the same relative place.
export work
sox_one() { o="$work/out/${1#"$work"/tree/}"; mkdir -p "$(dirname "$o")"; sox "$1" -r 44100 -b 16 -c 2 "$o"; }
ffmpeg_one() { o="$work/out/${1#"$work"/tree/}"; mkdir -p "$(dirname "$o")"
               ffmpeg -nostdin -loglevel error -y -i "$1" -ar 44100 -ac 2 -c:a pcm_s16le "$o"; }
export -f sox_one ffmpeg_one
loop() { find "$work/tree" -name '*.wav' -print0 | while IFS= read -r -d '' f; do "$1" "$f"; done; }
parallel() { find "$work/tree" -name '*.wav' -print0 | xargs -0 -P "$cores" -n 1 bash -c "$1 \"\$0\""; }

son=$(best "$convert" "$work/tree" "$work/out")
son1=$(best "$convert" --jobs 1 "$work/tree" "$work/out")
sox_loop=$(best loop sox_one)
ffm_loop=$(best loop ffmpeg_one)
sox_par=$(best parallel sox_one)
ffm_par=$(best parallel ffmpeg_one)
echo "$count files, $((bytes_in / 1000000)) MB in, $cores processors"
printf '%-44s %9s %12s\n' way seconds 'x sonivel'
row() { printf '%-44s %9s %12.1f\n' "$1" "$2" "$(echo "$2 / $son" | bc -l)"; }
row "sonivel-convert TREE OUT (--jobs $cores)" "$son"
row "sonivel-convert --jobs 1 TREE OUT" "$son1"
row "shell loop over sox" "$sox_loop"
row "shell loop over ffmpeg" "$ffm_loop"
row "xargs -P $cores over sox" "$sox_par"
row "xargs -P $cores over ffmpeg" "$ffm_par"
