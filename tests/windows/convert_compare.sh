#!/usr/bin/env bash
# The Windows converter, run under Wine, writes byte for byte what the Linux
# converter writes: for every accepted input format, at two output formats
# and with the band-limited interpolation (whose sums must come out the same
# on the Windows build's plain vector code as on the Linux build's AVX2),
# for a file named outside any ANSI code page, and for a folder.
#
# Usage: convert_compare.sh LINUX_CONVERT WINDOWS_CONVERT.exe WORKDIR
set -euo pipefail
linux=$1 windows=$2 work=$3
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || { echo "skipped: Wine is not installed"; exit 77; }
command -v sox >/dev/null || { echo "skipped: sox is not installed"; exit 77; }
rm -rf "$work"
mkdir -p "$work/in/Été ♫" "$work/linux" "$work/windows"
export WINEDEBUG=-all WINEPREFIX="$work/wineprefix"
for rate in 11025 22050 44100; do
  for bits in 8 16; do
    for ch in 1 2; do
      enc=signed; [ $bits = 8 ] && enc=unsigned
      sox -n -r $rate -b $bits -c $ch -e $enc "$work/in/$rate-$bits-$ch.wav" synth 0.7 sine 300-2000 vol 0.7
    done
  done
done
cp "$work/in/11025-8-1.wav" "$work/in/Été ♫/chanson.wav"
failures=0
compare() {  # name, then the options
  local name=$1; shift
  for f in "$work"/in/*.wav; do
    base=$(basename "$f" .wav)
    "$linux" "$@" --yes "$f" "$work/linux/$base-$name.wav" >/dev/null 2>&1
    # Wine itself now and then fails to start a program on a busy machine:
    # a run that did not end normally is tried once more (and said); what a
    # run that ended normally wrote must match.
    local rc=0
    "$wine" "$windows" "$@" --yes "Z:$f" "Z:$work/windows/$base-$name.wav" >"$work/wine.log" 2>&1 || rc=$?
    if [ $rc -ne 0 ]; then
      echo "note: $base, $name: the Windows converter exited $rc under Wine; once more"
      rm -f "$work/windows/$base-$name.wav"
      rc=0
      "$wine" "$windows" "$@" --yes "Z:$f" "Z:$work/windows/$base-$name.wav" >"$work/wine.log" 2>&1 || rc=$?
    fi
    if ! cmp -s "$work/linux/$base-$name.wav" "$work/windows/$base-$name.wav"; then
      echo "FAIL: $base, $name (Wine exit $rc; sizes $(stat -c %s "$work/linux/$base-$name.wav" 2>/dev/null || echo -) and $(stat -c %s "$work/windows/$base-$name.wav" 2>/dev/null || echo -))"
      cmp "$work/linux/$base-$name.wav" "$work/windows/$base-$name.wav" 2>&1 | head -1 || true
      head -c 2000 "$work/wine.log"
      failures=$((failures + 1))
    fi
  done
}
compare default
compare low --rate 22050 --bits 8 --mono --no-effects
compare hq --interpolation hq
compare hq-low --interpolation hq --rate 22050 --bits 8 --mono --no-effects
# A name outside the ANSI code page, and a folder converted as a whole.
"$wine" "$windows" "Z:$work/in/Été ♫/chanson.wav" "Z:$work/windows/chanson.wav" >/dev/null 2>&1 || true
"$linux" "$work/in/Été ♫/chanson.wav" "$work/linux/chanson.wav" >/dev/null 2>&1
cmp -s "$work/linux/chanson.wav" "$work/windows/chanson.wav" || { echo "FAIL: a name outside the code page"; failures=$((failures + 1)); }
"$wine" "$windows" --jobs 2 "Z:$work/in" "Z:$work/windows/tree" >/dev/null 2>&1 || true
"$linux" --jobs 2 "$work/in" "$work/linux/tree" >/dev/null 2>&1
diff -r "$work/linux/tree" "$work/windows/tree" >/dev/null || { echo "FAIL: the folder"; failures=$((failures + 1)); }
echo "$failures differences"
[ "$failures" -eq 0 ]
