#!/usr/bin/env bash
# Starts Sonivel with a file on a virtual X display and reads the main
# window's title as the window system has it: exactly "Sonivel - " and the
# file, with nothing appended.
# Usage: title_test.sh PROGRAM WORKDIR. Exit 77 (skipped) when the tools are missing.
set -euo pipefail
program=$1
work=$2
for tool in xvfb-run xwininfo sox; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
rm -rf "$work"
mkdir -p "$work/home" "$work/config" "$work/data" "$work/runtime" "$work/Music"
chmod 700 "$work/runtime"
wave="$work/Music/Side A.wav"
sox -n -r 11025 -b 8 -c 1 "$wave" synth 1 sine 440 vol 0.5

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb

cat >"$work/session.sh" <<INNER
set -uo pipefail
"$program" "$wave" >"$work/program.log" 2>&1 &
sonivel=\$!
status=1
for i in \$(seq 1 100); do
  titles=\$(xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "\(.*\)": .*/\1/p')
  if printf '%s\n' "\$titles" | grep -qxF "Sonivel - $wave"; then status=0; break; fi
  sleep 0.2
done
if [ \$status -ne 0 ]; then
  echo "FAIL: no window titled 'Sonivel - $wave'; the windows are:"; printf '%s\n' "\$titles"
elif printf '%s\n' "\$titles" | grep -q ' — Sonivel\$'; then
  echo "FAIL: a title carries the program's name twice:"; printf '%s\n' "\$titles" | grep ' — Sonivel\$'
  status=1
fi
kill "\$sonivel" 2>/dev/null || true
wait "\$sonivel" 2>/dev/null || true
exit \$status
INNER
status=0
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh" || status=$?
[ "$status" -eq 0 ] || { echo "program output:"; cat "$work/program.log" 2>/dev/null; }
exit "$status"
