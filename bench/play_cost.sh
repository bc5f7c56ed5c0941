#!/usr/bin/env bash
# What playing and starting cost, measured in one run on this machine:
# - CPU of the whole program while it plays an 11025 Hz 8-bit mono file
#   (window shown), on SDL's dummy driver and through a private PulseAudio
#   server's null sink; paplay playing the same file through the same sink,
#   and sox and aplay where they can reach it, as the reference;
# - CPU while idle with a file loaded;
# - start to window shown (median of 10), against a plain Qt window with
#   the same menus, buttons and slider (bench/ref_window).
# CPU is the run time of all the process's threads (/proc/PID/task/*/schedstat,
# in nanoseconds) over SECONDS_MEASURED (default 10) seconds, as a share of
# one core.
#
#   bash bench/play_cost.sh [build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
seconds=${SECONDS_MEASURED:-10}
[ -x "$build/app/sonivel" ] && [ -x "$build/bench/ref_window" ] || {
  cmake --preset release >/dev/null && cmake --build --preset release --target sonivel ref_window; }
program=$(realpath "$build/app/sonivel")
reference=$(realpath "$build/bench/ref_window")

work=$(mktemp -d)
mkdir -p "$work/home" "$work/config/Korvath" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb DISPLAY=:$((90 + RANDOM % 9))
printf '[General]\n44100Hz=0\n16Bits=0\nStereo=0\nStereoEffects=0\nPlayOnSave=0\nAutoRepeat=0\nLanguage=English\n' \
  >"$work/config/Korvath/Sonivel.conf"
Xvfb "$DISPLAY" -screen 0 1024x768x24 -noreset >/dev/null 2>&1 &
xvfb=$!
pulseaudio -D --exit-idle-time=-1 -n --load="module-null-sink sink_name=t rate=22050 channels=1 format=u8" \
  --load=module-native-protocol-unix >/dev/null 2>&1 || true
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  [ -s "$XDG_RUNTIME_DIR/pulse/pid" ] && kill "$(cat "$XDG_RUNTIME_DIR/pulse/pid")" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
sleep 1

long="$work/long.wav" short="$work/short.wav"
sox -n -r 11025 -b 8 -c 1 -e unsigned "$long" synth 120 sine 440 vol 0.5
sox -n -r 11025 -b 8 -c 1 -e unsigned "$short" synth 0.5 sine 440 vol 0.5

runtime() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {print n}'; }
# CPU share of process $1 over the measuring time, in percent of one core.
cpu() {
  local a b
  a=$(runtime "$1"); sleep "$seconds"; b=$(runtime "$1")
  echo "scale=3; ($b - $a) / 10000000 / $seconds" | bc -l
}
# Starts "$@", waits for its window, lets it settle, and measures it.
window_cpu() {
  "$@" >/dev/null 2>&1 &
  local p=$!
  for _ in $(seq 1 400); do xdotool search --onlyvisible --pid "$p" >/dev/null 2>&1 && break; sleep 0.01; done
  sleep 2
  cpu "$p"
  kill "$p"; wait "$p" 2>/dev/null || true
}
tool_cpu() {
  "$@" >/dev/null 2>&1 &
  local p=$!
  sleep 1
  if kill -0 "$p" 2>/dev/null; then cpu "$p"; kill "$p"; wait "$p" 2>/dev/null || true; else echo "n/a"; fi
}
# Milliseconds from start to the window shown; median of 10.
start_ms() {
  local times=() t0 t1 p
  for _ in $(seq 1 10); do
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    p=$!
    until xdotool search --onlyvisible --pid "$p" >/dev/null 2>&1; do sleep 0.002; done
    t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000000)))
    kill "$p"; wait "$p" 2>/dev/null || true
    sleep 0.2
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 5p
}

have_pulse=no
pactl info >/dev/null 2>&1 && have_pulse=yes
printf '%-58s %s\n' measure value
printf '%-58s %s%%\n' "sonivel playing, SDL dummy driver" "$(SDL_AUDIODRIVER=dummy window_cpu "$program" "$long")"
if [ $have_pulse = yes ]; then
  printf '%-58s %s%%\n' "sonivel playing, PulseAudio null sink" "$(SDL_AUDIODRIVER=pulseaudio window_cpu "$program" "$long")"
  printf '%-58s %s%%\n' "paplay, same file and sink" "$(tool_cpu paplay "$long")"
  printf '%-58s %s%%\n' "sox, same file and sink" "$(tool_cpu sox -q "$long" -t pulseaudio default)"
  printf '%-58s %s%%\n' "aplay, same file and sink (ALSA's pulse plugin)" "$(tool_cpu aplay -q -D pulse "$long")"
else
  echo "PulseAudio does not start here: the sound-server rows are left out"
fi
printf '%-58s %s%%\n' "sonivel idle, a file loaded (dummy driver)" "$(SDL_AUDIODRIVER=dummy window_cpu "$program" "$short")"
[ $have_pulse = yes ] &&
  printf '%-58s %s%%\n' "sonivel idle, a file loaded (PulseAudio)" "$(SDL_AUDIODRIVER=pulseaudio window_cpu "$program" "$short")"
printf '%-58s %s ms\n' "start to window: sonivel (median of 10)" "$(SDL_AUDIODRIVER=dummy start_ms "$program")"
printf '%-58s %s ms\n' "start to window: reference Qt window (median of 10)" "$(start_ms "$reference")"
