#!/usr/bin/env bash
# The sound server killed while Sonivel plays through its stream, then
# started again: the program stays alive and says it cannot use the sound
# device; once the box is closed, a hand-off of the file plays through the
# new server. Prints the server's streams before and after, and screenshots
# (killed.png, after.png) into OUT (default: a temporary folder, removed).
#
#   bash bench/server_loss.sh [OUT]
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in pulseaudio pactl xvfb-run xdotool import sox; do
  command -v "$tool" >/dev/null || { echo "needs $tool"; exit 1; }
done
cmake --preset debug >/dev/null && cmake --build --preset debug --target sonivel >/dev/null
program=$PWD/build/debug/app/sonivel
work=$(mktemp -d)
out=${1:-$work}
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config/Korvath" "$work/runtime" "$out"
chmod 700 "$work/runtime"
printf '[General]\n44100Hz=1\n16Bits=1\nStereo=1\nStereoEffects=1\nHighQualityInterpolation=0\nPlayOnSave=0\nAutoRepeat=0\nLanguage=English\n' \
  >"$work/config/Korvath/Sonivel.conf"
sox -n -r 22050 -b 16 "$work/long.wav" synth 30 sine 440 vol 0.5
cat >"$work/run.sh" <<INNER
set -u
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
unset SDL_AUDIODRIVER SONIVEL_AUDIO PULSE_SERVER
start_server() {
  pulseaudio -D --exit-idle-time=-1 -n --use-pid-file=yes \
    --load="module-null-sink sink_name=t rate=44100 channels=2 format=s16le" --load=module-native-protocol-unix
  for _ in \$(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
}
start_server
"$program" "$work/long.wav" >/dev/null 2>&1 &
p=\$!
sleep 2
echo "streams while playing:"; pactl list sink-inputs short
kill "\$(cat $work/runtime/pulse/pid)"; sleep 1.5
echo "program alive after the server went: \$(kill -0 \$p && echo yes || echo no)"
import -window root "$out/killed.png"
start_server
xdotool mousemove 308 60 click 1; sleep 0.5   # the box's OK
"$program" "$work/long.wav"
sleep 2
echo "streams after the server came back and the file was handed over:"; pactl list sink-inputs short
import -window root "$out/after.png"
kill \$p; wait \$p
kill "\$(cat $work/runtime/pulse/pid)"
INNER
timeout 60 xvfb-run -s "-screen 0 800x500x24" bash "$work/run.sh" 2>&1 | grep -v '^W:'
