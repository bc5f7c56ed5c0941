#!/usr/bin/env bash
# Writes seeds of every encoding the decoder reads into the folder given,
# made by sox: u-law, A-law, IMA and MS ADPCM and GSM 6.10 at a few rates,
# mono and stereo, short enough for the fuzzer to change quickly. Without sox there are none, and the fuzzer starts from the
# other seeds alone.
set -euo pipefail
dir=$1
command -v sox >/dev/null || { echo "sox not found: no decoded seeds"; exit 0; }
n=0
for enc in u-law a-law ima-adpcm ms-adpcm gsm-full-rate; do
  for rate in 8000 11025 22050; do
    for channels in 1 2; do
      [ "$enc" = gsm-full-rate ] && [ "$channels" = 2 ] && continue
      sox -r "$rate" -n -r "$rate" -c "$channels" -e "$enc" "$dir/sox-$enc-$rate-$channels.wav" \
        synth 0.05 sine 440 2>/dev/null && n=$((n + 1))
    done
  done
done
echo "$n decoded seeds written to $dir"
