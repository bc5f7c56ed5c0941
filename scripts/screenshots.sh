#!/usr/bin/env bash
# Retakes the README's screenshots: the main window playing the demo and the
# playlist editor, under a private X server with settings of their own.
#   bash scripts/screenshots.sh        -> docs/main-window.png, docs/playlist-editor.png
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
command -v xdotool >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xdotool >/dev/null
[ -x build/release/app/sonivel ] || { cmake --preset release >/dev/null && cmake --build --preset release; }
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/runtime" "$work/music"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime SDL_AUDIODRIVER=dummy
cp build/release/app/demo.wav "$work/music/Demo tune.wav"
for n in "Side A" "Side B"; do cp build/release/app/demo.wav "$work/music/$n.wav"; done
mkdir -p "$XDG_CONFIG_HOME/Korvath"
printf '[General]\nLastPlayListSelectionFolder=%s\n' "$work/music" > "$XDG_CONFIG_HOME/Korvath/Sonivel.conf"
display=:$((RANDOM % 400 + 100))
Xvfb "$display" -screen 0 1024x640x24 -noreset >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display
shot() {  # shot FILE WIDTH HEIGHT
  import -window root -crop "$2x$3+0+0" "$1"
}
build/release/app/sonivel "$work/music/Demo tune.wav" & pid=$!
sleep 2.5
shot "$root/docs/main-window.png" 520 110
window=$(xdotool search --pid $pid | tail -1)
xdotool windowfocus --sync "$window" key alt+f
sleep 0.3
xdotool key e
sleep 1
shot "$root/docs/playlist-editor.png" 900 290
xdotool key Escape
kill -TERM $pid
wait $pid || true
echo "docs/main-window.png and docs/playlist-editor.png retaken"
