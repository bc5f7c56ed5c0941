#!/usr/bin/env bash
# What playing costs the whole machine, measured in one run side by side with
# the players people already use:
# - CPU of the player's process and of the sound server over the same
#   SECONDS_MEASURED (default 10) seconds, after WARM_UP (default 4) seconds
#   of playing an 11025 Hz 8-bit mono file, window shown, through one private
#   PulseAudio server with a null sink at 44100 Hz stereo; Sonivel and every
#   peer player with a window that Debian offers (installed here when
#   missing), ROUNDS (default 3) rounds; Sonivel through the server's own
#   stream (its default where a server answers) and through SDL2;
# - Sonivel idle with a file loaded, the player and the server;
# - how long after a click on Stop the sink falls silent (bench/stop_latency.py);
# - start to window shown (median of 10), against a plain Qt window with the
#   same menus, buttons and slider (bench/ref_window).
# CPU is the run time of all the process's threads (/proc/PID/task/*/schedstat,
# in nanoseconds) as a share of one core.
#
# SOUND_SERVER=pipewire runs the same through a private PipeWire with
# pipewire-pulse and WirePlumber (on a private D-Bus), as a Debian 12 desktop
# has it; the server's CPU is then PipeWire's and pipewire-pulse's together.
#
#   bash bench/play_cost.sh [build/release]
#   SOUND_SERVER=pipewire bash bench/play_cost.sh [build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
seconds=${SECONDS_MEASURED:-10}
warm=${WARM_UP:-4}
rounds=${ROUNDS:-3}
sound_server=${SOUND_SERVER:-pulseaudio}
if [ "$sound_server" = pipewire ] && [ -z "${SONIVEL_BENCH_BUS:-}" ]; then
  command -v pipewire-pulse >/dev/null && command -v wireplumber >/dev/null || {
    sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
      pipewire pipewire-pulse wireplumber dbus >/dev/null; }
  # WirePlumber needs a session bus: the run gets a private one.
  SONIVEL_BENCH_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

need=()
for tool in pulseaudio:pulseaudio parec:pulseaudio-utils xdotool:xdotool Xvfb:xvfb sox:sox bc:bc \
    audacious:audacious mpv:mpv; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
/usr/bin/python3 -c 'import numpy' 2>/dev/null || need+=(python3-numpy)
dpkg-query -W -f='${Status}' audacious-plugins 2>/dev/null | grep -q 'ok installed' || need+=(audacious-plugins)
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

[ -x "$build/app/sonivel" ] && [ -x "$build/bench/ref_window" ] || {
  cmake --preset release >/dev/null && cmake --build --preset release --target sonivel ref_window; }
program=$(realpath "$build/app/sonivel")
reference=$(realpath "$build/bench/ref_window")

work=$(mktemp -d)
mkdir -p "$work/home" "$work/config/Korvath" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb DISPLAY=:$((90 + RANDOM % 9))
unset PULSE_SERVER PULSE_SINK SDL_AUDIODRIVER SONIVEL_AUDIO
sdl=(env SONIVEL_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio)
settings() {
  printf '[General]\n44100Hz=%s\n16Bits=%s\nStereo=%s\nStereoEffects=0\nPlayOnSave=0\nAutoRepeat=0\nLanguage=English\n' \
    "$1" "$1" "$1" >"$work/config/Korvath/Sonivel.conf"
}
Xvfb "$DISPLAY" -screen 0 1024x768x24 -noreset >/dev/null 2>&1 &
xvfb=$!
servers=()
if [ "$sound_server" = pipewire ]; then
  pipewire >/dev/null 2>&1 & servers+=($!)
  sleep 0.5
  wireplumber >/dev/null 2>&1 & plumber=$!
  pipewire-pulse >/dev/null 2>&1 & servers+=($!)
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl load-module module-null-sink sink_name=t rate=44100 channels=2 format=s16le >/dev/null
  sleep 1
  pactl set-default-sink t
else
  pulseaudio -D --exit-idle-time=-1 -n --use-pid-file=yes \
    --load="module-null-sink sink_name=t rate=44100 channels=2 format=s16le" \
    --load=module-native-protocol-unix >/dev/null 2>&1
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  servers+=("$(cat "$XDG_RUNTIME_DIR/pulse/pid")")
fi
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  kill "${servers[@]}" ${plumber:-} 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "sound server: $(pactl info | sed -n 's/^Server Name: //p')"
server=servers

long="$work/long.wav" short="$work/short.wav" loud="$work/loud.wav"
sox -n -r 11025 -b 8 -c 1 -e unsigned "$long" synth 120 sine 440 vol 0.5
sox -n -r 11025 -b 8 -c 1 -e unsigned "$short" synth 0.5 sine 440 vol 0.5
sox -n -r 44100 -b 16 -c 2 "$loud" synth 60 sine 440 vol 0.5

# Run time of a process, or of every server process for "servers".
runtime() {
  local pids=("$1")
  [ "$1" = servers ] && pids=("${servers[@]}")
  local p n=0
  for p in "${pids[@]}"; do
    n=$((n + $(cat /proc/"$p"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {print n + 0}')))
  done
  echo "$n"
}
share() { echo "scale=3; ($2 - $1) / 10000000 / $seconds" | bc -l | sed 's/^\./0./'; }
# "player% server% sum%" over the measuring time, for processes $1 and $2.
pair_cpu() {
  local a1 a2 b1 b2
  a1=$(runtime "$1") a2=$(runtime "$2")
  sleep "$seconds"
  b1=$(runtime "$1") b2=$(runtime "$2")
  printf '%s%% %s%% %s%%' "$(share "$a1" "$b1")" "$(share "$a2" "$b2")" \
    "$(echo "scale=3; ($b1 - $a1 + $b2 - $a2) / 10000000 / $seconds" | bc -l | sed 's/^\./0./')"
}
# Starts "$@", waits for its window, warms up, and measures it beside the server.
window_cpu() {
  "$@" >/dev/null 2>&1 &
  local p=$! shown=no
  for _ in $(seq 1 1000); do
    xdotool search --onlyvisible --pid "$p" >/dev/null 2>&1 && { shown=yes; break; }
    sleep 0.01
  done
  sleep "$warm"
  if [ $shown = yes ] && kill -0 "$p" 2>/dev/null; then pair_cpu "$p" "$server"; else printf 'n/a'; fi
  kill "$p" 2>/dev/null; wait "$p" 2>/dev/null || true
  sleep 1
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

row() { printf '%-44s %s\n' "$1" "$2"; }
settings 1
row "player (with its window), round" "player server sum"
for round in $(seq 1 "$rounds"); do
  row "sonivel, $round" "$(window_cpu "$program" "$long")"
  row "sonivel through SDL2, $round" "$(window_cpu "${sdl[@]}" "$program" "$long")"
  row "audacious (GTK interface), $round" "$(window_cpu audacious --gtk "$long")"
  row "audacious (Qt interface), $round" "$(window_cpu audacious --qt "$long")"
  row "mpv with its window, $round" "$(window_cpu mpv --no-config --force-window=yes --ao=pulse "$long")"
done
row "sonivel idle, a file loaded" "$(window_cpu "$program" "$short")"
row "nothing playing (server alone)" "$(pair_cpu "$xvfb" "$server" | cut -d' ' -f2)"
echo "stop: click to silence at the sink"
/usr/bin/python3 bench/stop_latency.py "$program" "$loud" 47 52 5 | sed 's/^/  /'
echo "stop through SDL2: click to silence at the sink"
SONIVEL_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio /usr/bin/python3 bench/stop_latency.py "$program" "$loud" 47 52 5 | sed 's/^/  /'
row "start to window: sonivel (median of 10)" "$(SDL_AUDIODRIVER=dummy start_ms "$program") ms"
row "start to window: a plain Qt window" "$(start_ms "$reference") ms"
