#!/usr/bin/env bash
# Starts Sonivel on a virtual X display with the accessibility bus running
# and lets a11y_check.py work it as a screen reader would.
# Usage: a11y_test.sh PROGRAM WORKDIR. Exit 77 (skipped) when the tools are missing.
set -euo pipefail
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)

launcher=/usr/libexec/at-spi-bus-launcher
registry=/usr/libexec/at-spi2-registryd
for tool in xvfb-run dbus-run-session sox; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
[ -x "$launcher" ] && [ -x "$registry" ] || { echo "skipped: at-spi2-core missing"; exit 77; }
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
  { echo "skipped: gir1.2-atspi-2.0 missing"; exit 77; }

rm -rf "$work"
mkdir -p "$work/home" "$work/config" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
wave="$work/Side A.wav"
sox -n -r 11025 -b 8 -c 1 "$wave" synth 3 sine 440 vol 0.5

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=dummy
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
unset AT_SPI_BUS_ADDRESS

cat >"$work/session.sh" <<INNER
set -euo pipefail
"$launcher" --launch-immediately --a11y=1 &
bus=\$!
sleep 1
"$registry" &
registryd=\$!
"$program" "$wave" >"$work/program.log" 2>&1 &
sonivel=\$!
status=0
/usr/bin/python3 "$here/a11y_check.py" "$wave" || status=\$?
kill "\$sonivel" 2>/dev/null || true
wait "\$sonivel" 2>/dev/null || true
kill "\$registryd" "\$bus" 2>/dev/null || true
exit \$status
INNER
status=0
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$work/session.sh" || status=$?
[ "$status" -eq 0 ] || { echo "program output:"; cat "$work/program.log" 2>/dev/null; }
exit "$status"
