#!/usr/bin/env bash
# Whole-process conversion time of sonivel-convert against sox, ffmpeg and
# dd writing the same number of output bytes, on 10-minute inputs converted
# to 44100 Hz 16-bit stereo. Each command runs 5 times; the best is kept.
# Installs sox and ffmpeg when missing. Prints the times and the ratios.
#
#   bash bench/convert_throughput.sh [build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
convert=$build/app/sonivel-convert
[ -x "$convert" ] || { cmake --preset release >/dev/null && cmake --build --preset release --target sonivel-convert; }
for tool in sox ffmpeg; do
  command -v $tool >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $tool >/dev/null
done

# Outputs go to memory when possible, so disk write-back does not blur the
# comparison (every tool writes to the same place).
work=$(mktemp -d -p "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
trap 'rm -rf "$work"' EXIT

source bench/timing.sh
best() { best_of 5 "$@"; }

printf '%-22s %9s %9s %9s %9s %10s %10s %10s\n' input sonivel sox ffmpeg dd 'sox/son' 'ffm/son' 'son/dd'
for input in "11025 8 1" "22050 16 1" "44100 16 2"; do
  read -r rate bits ch <<<"$input"
  in=$work/in-$rate-$bits-$ch.wav
  enc=signed; [ "$bits" = 8 ] && enc=unsigned
  sox -n -r "$rate" -b "$bits" -c "$ch" -e $enc "$in" synth 600 pinknoise vol 0.5
  out=$work/out.wav
  t_son=$(best "$convert" "$in" "$out")
  bytes=$(stat -c %s "$out")
  t_sox=$(best sox "$in" -r 44100 -b 16 -c 2 "$out")
  t_ffm=$(best ffmpeg -y -loglevel error -i "$in" -ar 44100 -ac 2 -sample_fmt s16 "$out")
  t_dd=$(best dd if=/dev/zero of="$out" bs=1M count="$bytes" iflag=count_bytes)
  printf '%-22s %9s %9s %9s %9s %10.1f %10.1f %10.2f\n' "$rate Hz $bits-bit ${ch}ch" \
    "$t_son" "$t_sox" "$t_ffm" "$t_dd" \
    "$(echo "$t_sox / $t_son" | bc -l)" "$(echo "$t_ffm / $t_son" | bc -l)" "$(echo "$t_son / $t_dd" | bc -l)"
done
