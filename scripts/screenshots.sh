#!/usr/bin/env bash
# Retakes the README's screenshots: the main window playing the demo and the
# playlist editor, in English and in French, under a private X server with a
# home of their own (a Music folder, as a person has one).
#   bash scripts/screenshots.sh   -> docs/main-window.png, docs/playlist-editor.png,
#                                    docs/main-window-fr.png, docs/playlist-editor-fr.png
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
command -v xdotool >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xdotool >/dev/null
[ -x build/release/app/sonivel ] || { cmake --preset release >/dev/null && cmake --build --preset release; }
# A fixed, readable home: the pictures show its paths.
base=${TMPDIR:-/tmp}/home
[ -e "$base" ] && { echo "$base exists; remove it or set TMPDIR"; exit 1; }
home=$base/ana
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$base"' EXIT
mkdir -p "$home/.config" "$home/.local/share" "$home/.runtime" "$home/Music/Old tapes"
chmod 700 "$home/.runtime"
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/.runtime
export SDL_AUDIODRIVER=dummy
music=$home/Music/Old\ tapes
for n in "Demo tune" "Side A" "Side B"; do cp build/release/app/demo.wav "$music/$n.wav"; done
display=:$((RANDOM % 400 + 100))
Xvfb "$display" -screen 0 1024x640x24 -noreset >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display
shot() {  # shot FILE WIDTH HEIGHT
  import -window root -crop "$2x$3+0+0" "$1"
}
conf=$XDG_CONFIG_HOME/Korvath/Sonivel.conf
mkdir -p "$(dirname "$conf")"
printf '[General]\nLastPlayListSelectionFolder=%s\n' "$music" > "$conf"
take() {  # take LANGUAGE SUFFIX EDIT-KEY TITLE; the first run saves every setting, the next only changes the language
  [ "$1" = English ] || sed -i "s/^Language=.*/Language=$1/" "$conf"
  build/release/app/sonivel "$music/Demo tune.wav" & pid=$!
  sleep 2.5
  shot "$root/docs/main-window$2.png" 520 110
  window=$(xdotool search --pid $pid | tail -1)
  xdotool windowmove "$window" 0 0
  xdotool windowfocus --sync "$window" key alt+f
  sleep 0.3
  xdotool key "$3"
  sleep 1
  editor=$(xdotool search --pid $pid --onlyvisible --name "^$4\$" | tail -1)
  xdotool windowmove "$editor" 0 0
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$editor")"
  shot "$root/docs/playlist-editor$2.png" "$WIDTH" "$HEIGHT"
  xdotool key Escape
  kill -TERM $pid
  wait $pid || true
}
take English "" e Playlist
take French "-fr" m "Liste de jeu"
echo "docs/main-window(-fr).png and docs/playlist-editor(-fr).png retaken"

# The user's guide as a browser shows it, when one is installed.
if command -v chromium >/dev/null; then
  profile=$(mktemp -d)
  chromium --headless --no-sandbox --disable-gpu --user-data-dir="$profile" --hide-scrollbars \
    --window-size=900,7800 --screenshot="$profile/help.png" "file://$root/resources/help.htm" >/dev/null 2>&1
  convert "$profile/help.png" -trim +repage -resize 60% -colors 64 "$root/docs/help-page.png"
  rm -rf "$profile"
  echo "docs/help-page.png retaken"
fi
