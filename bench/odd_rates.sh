#!/usr/bin/env bash
# Rates raised at their exact ratio, in one run:
#  1. tones at 0.09, 0.27, 0.41 and 0.45 of 8000, 11127, 16000 and 32000 Hz
#     raised to 44100 Hz 16-bit mono: level and strongest spur over one
#     second centred on the first block join, beside `sox rate -v`;
#  2. a 10-minute 16000 Hz 16-bit file saved to 44100/16/stereo with the
#     effect, against `sox in.wav -b 16 -c 2 out.wav rate -v 44100` (best of 5);
#  3. CPU while playing 20 s of 16000 Hz against 22050 Hz (SDL dummy driver).
#
#   bash bench/odd_rates.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
export DEBIAN_FRONTEND=noninteractive
for p in python3-numpy sox bc; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
cmake --preset release >/dev/null && cmake --build --preset release >/dev/null
convert=$PWD/build/release/app/sonivel-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "## Tones raised to 44100 Hz 16-bit mono"
TONE_CASES="8000:0.09,0.27,0.41,0.45 11127:0.09,0.27,0.41,0.45 16000:0.09,0.27,0.41,0.45 32000:0.09,0.27,0.41,0.45" \
/usr/bin/python3 bench/tone_table.py "$work" \
  "sonivel=$convert --rate 44100 --bits 16 --mono --no-effects --force {in} {out}" \
  "sox rate -v=sox {in} -b 16 {out} rate -v 44100"

echo
echo "## Ten minutes of 16000/16/mono to 44100/16/stereo with the effect, best of 5"
sox -n -r 16000 -b 16 -c 1 "$work/speech.wav" synth 600 pinknoise vol 0.5
ours=$(best_of 5 "$convert" --force "$work/speech.wav" "$work/ours.wav")
sx=$(best_of 5 sox "$work/speech.wav" -b 16 -c 2 "$work/sox.wav" rate -v 44100)
printf '| sonivel %s s | sox rate -v %s s | ratio %.2f |\n' "$ours" "$sx" "$(echo "$ours / $sx" | bc -l)"

echo
echo "## CPU while playing 20 s (SDL dummy driver)"
for rate in 22050 16000; do
  sox -n -r $rate -b 16 -c 1 "$work/play$rate.wav" synth 20 pinknoise vol 0.5
  printf '%s Hz: ' $rate
  SDL_AUDIODRIVER=dummy build/release/bench/play_cpu "$work/play$rate.wav" 0.1 | head -1
done
