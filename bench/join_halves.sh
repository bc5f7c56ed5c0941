#!/usr/bin/env bash
# Two halves of one recording played as a playlist by the real program, as
# a person hears them: a 4 s tone at 22050 Hz cut into two 2 s files, played
# with the stereo effect (the first start's output, 44100/16/stereo) through
# SDL's disk driver. Reported per channel: the longest silence inside the
# sound and the largest step between two samples, beside the tone's own
# largest step (a hole or a click at the join shows as either), and whether
# the capture holds the uncut recording's conversion up to the join.
#
#   bash bench/join_halves.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
for p in python3-numpy sox xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
cmake --preset release >/dev/null && cmake --build --preset release >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Korvath" "$work/data" "$work/runtime"
# The first start's output, the classic in-betweens, as the converter's default.
printf '[General]\n44100Hz=1\n16Bits=1\nStereo=1\nStereoEffects=1\nHighQualityInterpolation=0\nPlayOnSave=0\nAutoRepeat=0\nLanguage=English\n' \
  >"$work/config/Korvath/Sonivel.conf"
chmod 700 "$work/runtime"
sox -r 22050 -n -r 22050 -b 16 -c 1 "$work/uncut.wav" synth 4 sine 441 vol 0.5
sox "$work/uncut.wav" "$work/a.wav" trim 0 44100s
sox "$work/uncut.wav" "$work/b.wav" trim 44100s
build/release/app/sonivel-convert --rate 44100 --bits 16 --stereo --effects --interpolation linear \
  "$work/uncut.wav" "$work/uncut-out.wav" >/dev/null
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw" QT_QPA_PLATFORM=offscreen \
  timeout 20 build/release/app/sonivel "$work/a.wav" "$work/b.wav" >/dev/null 2>&1 &
player=$!
sleep 7
kill "$player" 2>/dev/null || true
wait "$player" 2>/dev/null || true
/usr/bin/python3 - "$work/played.raw" "$work/uncut-out.wav" <<'PY'
import sys
import numpy as np
played = np.frombuffer(open(sys.argv[1], "rb").read(), dtype="<i2").reshape(-1, 2)
uncut = np.frombuffer(open(sys.argv[2], "rb").read()[44:], dtype="<i2").reshape(-1, 2)
nz = np.nonzero(np.any(played != 0, axis=1))[0]
# The capture is aligned on the first frame that is not silent in both: a
# tone that starts at 0 has silent frames of its own first.
lead = np.nonzero(np.any(uncut != 0, axis=1))[0][0]
sound = played[nz[0] - lead:nz[-1] + 1].astype(int)
join = 2 * 44100  # output frame of the join: 2 s of input at 44100
for c, name in enumerate(("left", "right")):
    x = sound[:, c]
    silent = run = 0
    # The last 2800 frames of the right channel read past the recording.
    for v in x[1000:-3000]:
        run = run + 1 if v == 0 else 0
        silent = max(silent, run)
    steps = np.abs(np.diff(x))
    near = steps[join - 4000:join + 4000].max()
    print(f"{name:5}: longest silence inside {silent} frames ({silent / 44.1:.1f} ms); "
          f"largest step {steps.max()} (near the join {near}); the tone's own {np.abs(np.diff(uncut[:, c].astype(int))).max()}")
diff = np.nonzero(np.any(sound[:join] != uncut[:join].astype(int), axis=1))[0]
print("up to the join the capture is the uncut recording's conversion:",
      "yes" if diff.size == 0 else f"no, from output frame {diff[0]} ({diff.size} frames differ)")
PY
