#!/usr/bin/env bash
# The two interpolations against sox's best resampler, in one run:
#  1. the tone table: level and strongest spur of -6 dBFS tones raised to
#     44100 Hz 16-bit mono (Kaiser-windowed FFT over one second centred on
#     the first block join), for the classic and the band-limited in-betweens
#     and for `sox rate -v`;
#  2. 10-minute files of 11025/8/mono and 22050/16/mono saved to
#     44100/16/stereo with the effect in the band-limited mode, against
#     `sox in.wav -b 16 -c 2 out.wav rate -v 44100` (best of 5 each);
#  3. CPU while playing 20 s (SDL dummy driver), classic and band-limited;
#  4. libsoxr driven the way the conversion needs (fresh for every block)
#     against our filter, where libsoxr-dev is installed.
#
#   bash bench/interpolation.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
export DEBIAN_FRONTEND=noninteractive
for p in python3-numpy sox bc libsoxr-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
cmake --preset release >/dev/null && cmake --build --preset release >/dev/null
convert=$PWD/build/release/app/sonivel-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "## Tones (44100 Hz, 16-bit mono output)"
/usr/bin/python3 bench/tone_table.py "$work" \
  "classic=$convert --rate 44100 --bits 16 --mono --no-effects --force {in} {out}" \
  "band-limited=$convert --rate 44100 --bits 16 --mono --no-effects --interpolation hq --force {in} {out}" \
  "sox rate -v=sox {in} -b 16 {out} rate -v 44100"

echo
echo "## Ten minutes to 44100/16/stereo with the effect, best of 5"
sox -n -r 11025 -b 8 -c 1 "$work/old8.wav" synth 600 pinknoise vol 0.5
sox -n -r 22050 -b 16 -c 1 "$work/old16.wav" synth 600 pinknoise vol 0.5
echo "| input | band-limited | classic | sox rate -v | band-limited / sox |"
echo "|---|---|---|---|---|"
for f in old8 old16; do
  hq=$(best_of 5 "$convert" --interpolation hq --force "$work/$f.wav" "$work/hq.wav")
  lin=$(best_of 5 "$convert" --force "$work/$f.wav" "$work/lin.wav")
  sx=$(best_of 5 sox "$work/$f.wav" -b 16 -c 2 "$work/sox.wav" rate -v 44100)
  printf '| %s | %s s | %s s | %s s | %.2f |\n' "$f" "$hq" "$lin" "$sx" "$(echo "$hq / $sx" | bc -l)"
done

echo
echo "## CPU while playing 20 s of 11025/8/mono (SDL dummy driver)"
sox -n -r 11025 -b 8 -c 1 "$work/play.wav" synth 20 pinknoise vol 0.5
for mode in "" --hq; do
  printf '%-8s ' "${mode:-classic}"
  SDL_AUDIODRIVER=dummy build/release/bench/play_cpu $mode "$work/play.wav" 0.1 | head -1
done

if [ -x build/release/bench/soxr_blocks ]; then
  echo
  echo "## libsoxr started afresh for every block, against our filter"
  build/release/bench/soxr_blocks
fi
