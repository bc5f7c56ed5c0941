#!/usr/bin/env bash
# Plays a file in the real program through a private PulseAudio server and
# checks that the server received exactly what the converter writes for the
# same file, to the last sample: nothing cut at the end, nothing changed.
#
# The server has one null sink at 44100 Hz, 16-bit stereo, the output format
# the program is set to, so the sink's monitor is sample-exact (but for the
# server's own join artifact described below). The input is
# 11025 Hz 8-bit mono, raised fourfold with the stereo effect.
#
# Then, with Auto repeat on, a one-entry playlist flows into itself: the
# server must receive the conversion three times back to back, with not a
# frame inserted or lost where one play meets the next.
#
# Usage: pulse_test.sh PROGRAM CONVERTER WORKDIR [pulseaudio|pipewire].
# With pipewire, the server is a private PipeWire with pipewire-pulse and
# WirePlumber on a private D-Bus, its graph at 44100 Hz, as a Debian 12
# desktop has it. Exit 77 (skipped) when the server cannot start or a tool
# is missing.
set -euo pipefail
program=$(realpath "$1")
converter=$(realpath "$2")
work=$3
server=${4:-pulseaudio}
tools=(parec pactl sox python3)
if [ "$server" = pipewire ]; then tools+=(pipewire pipewire-pulse wireplumber dbus-run-session); else tools+=(pulseaudio); fi
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
if [ "$server" = pipewire ] && [ -z "${SONIVEL_TEST_BUS:-}" ]; then
  SONIVEL_TEST_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
rm -rf "$work"
mkdir -p "$work/home" "$work/config/Korvath" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime"
unset PULSE_SERVER PULSE_SINK

daemon=
recorder=
cleanup() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null
  [ -n "$daemon" ] && kill $daemon 2>/dev/null
  return 0
}
trap cleanup EXIT

if [ "$server" = pipewire ]; then
  mkdir -p "$work/config/pipewire/pipewire.conf.d"
  printf 'context.properties = {\n  default.clock.rate = 44100\n  default.clock.allowed-rates = [ 44100 ]\n}\n' \
    >"$work/config/pipewire/pipewire.conf.d/rate.conf"
  pipewire >"$work/pipewire.log" 2>&1 & daemon="$!"
  sleep 0.5
  wireplumber >"$work/wireplumber.log" 2>&1 & daemon="$daemon $!"
  pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 & daemon="$daemon $!"
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || { echo "skipped: PipeWire does not answer"; exit 77; }
  pactl load-module module-null-sink sink_name=t rate=44100 channels=2 format=s16le >/dev/null
  sleep 1
  pactl set-default-sink t || { echo "skipped: PipeWire has no session manager here"; exit 77; }
  echo "through $(pactl info | sed -n 's/^Server Name: //p')"
elif ! pulseaudio -D --exit-idle-time=-1 -n --use-pid-file=yes --disallow-exit \
    --load="module-null-sink sink_name=t rate=44100 channels=2 format=s16le" \
    --load=module-native-protocol-unix --log-target=file:"$work/pulseaudio.log"; then
  echo "skipped: PulseAudio does not start here:"; cat "$work/pulseaudio.log" 2>/dev/null
  exit 77
fi
if [ "$server" != pipewire ]; then
  for _ in $(seq 1 50); do
    [ -s "$XDG_RUNTIME_DIR/pulse/pid" ] && pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  daemon=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null || true)
  pactl info >/dev/null 2>&1 || { echo "skipped: PulseAudio does not answer"; exit 77; }
fi

# Two seconds and a bit: two full blocks and a last, shorter one.
wave="$work/in.wav"
sox -n -r 11025 -b 8 -c 1 -e unsigned "$wave" synth 2.3 sine 300-2000 vol 0.8
"$converter" "$wave" "$work/expected.wav" --rate 44100 --bits 16 --stereo --effects >/dev/null
printf '[General]\n44100Hz=1\n16Bits=1\nStereo=1\nStereoEffects=1\nPlayOnSave=1\nAutoRepeat=0\nLanguage=English\n' >"$work/config/Korvath/Sonivel.conf"

# The null sink renders in large slabs until a low-latency recorder listens:
# record FILE starts one and waits until it writes. Under PipeWire the
# recorder's latency sets the whole graph's period, and a 2 ms one leaves a
# busy machine no room (the recording then misses a period), so it asks
# 20 ms there.
latency=2
[ "$server" = pipewire ] && latency=20
record() {
  parec -d t.monitor --latency-msec=$latency --format=s16le --rate=44100 --channels=2 --raw >"$1" &
  recorder=$!
  for _ in $(seq 1 100); do
    [ "$(stat -c %s "$1")" -gt 0 ] && break
    sleep 0.05
  done
}
record "$work/received.raw"

# Played three times: the program starts with the file, and two more
# instances hand it over again after each end. Every end of the track
# closes the device, each a chance to cut the last block.
cat >"$work/session.sh" <<INNER
set -uo pipefail
unset SDL_AUDIODRIVER; export SONIVEL_AUDIO=pulse QT_QPA_PLATFORM=offscreen
"$program" "$wave" >"$work/program.log" 2>&1 &
sonivel=\$!
# The file lasts 2.3 s; while it plays, the desktop's list of streams.
sleep 1
pactl list sink-inputs >"$work/streams.txt"
sleep 2.5
"$program" "$wave" >>"$work/program.log" 2>&1
sleep 3
"$program" "$wave" >>"$work/program.log" 2>&1
sleep 3
kill "\$sonivel"
wait "\$sonivel"
INNER
timeout 60 bash "$work/session.sh" || {
  echo "FAIL: the program did not play and end cleanly:"; cat "$work/program.log"; exit 1; }
sleep 0.3
kill "$recorder"
wait "$recorder" 2>/dev/null || true
recorder=

cat >"$work/check.py" <<'PY'
import sys
# check.py EXPECTED.wav RECEIVED.raw PLAYS REPEATS [COPIES]: the recording
# holds PLAYS plays of REPEATS copies of the conversion each, back to back
# within a play; with COPIES, EXPECTED is the conversion of that many copies
# of the file as one recording, of which the first REPEATS must be heard.
data = open(sys.argv[1], "rb").read()[44:]
if len(sys.argv) > 5:
    expected = data[:len(data) // int(sys.argv[5]) * int(sys.argv[4])]
else:
    expected = data * int(sys.argv[4])
received = open(sys.argv[2], "rb").read()
plays, repeated = int(sys.argv[3]), int(sys.argv[4]) > 1
# Each copy is found by a stretch just after the longest silent start put
# up with below; the recording has silence before, between and after them.
anchor = 882 * 4
copies, at = [], received.find(expected[anchor:anchor + 256])
while at >= 0:
    copies.append(at - anchor)
    at = received.find(expected[anchor:anchor + 256], at + len(expected) - anchor)
if repeated:
    copies = copies[:1]  # the play goes on past the copies checked
if len(copies) != plays:
    sys.exit(f"FAIL: the server received {len(copies)} plays of the file, not {plays}")
# A stream joining a running null sink can lose its first few milliseconds
# inside the server (the sink had already rendered that span to its monitor
# as silence when it rewound to mix the new stream in): a silent start of
# at most 20 ms is put up with and reported. From there on every frame must
# arrive exactly as converted and in order, the end included, with only
# silence after it. When the machine is too busy for the sound thread to
# keep up, the server plays silence until the next frames come and then goes
# on, skipping at most what it filled: such underruns are the machine's, and
# are reported, not failed; any other change fails.
SILENT = bytes(4)
worst, pauses = 0, []
for n, start in enumerate(copies, 1):
    lead = 0
    while lead < len(expected) and received[start + lead:start + lead + 4] == SILENT:
        lead += 4
    if lead > 882 * 4:
        sys.exit(f"FAIL: play {n}: the first {lead // 4} frames were silent")
    worst = max(worst, lead // 4)
    r, e = start + lead, lead
    while e < len(expected):
        if received[r:r + 4] == expected[e:e + 4]:
            r, e = r + 4, e + 4
            continue
        g = r
        while received[g:g + 4] == SILENT:
            g += 4
        if g == r or g - r > 44100 * 4:
            sys.exit(f"FAIL: play {n}: the server received {e} of {len(expected)} bytes as converted "
                     f"({(len(expected) - e) // 4} frames missing or changed from there)")
        # After such a pause the server goes on from where its clock got to,
        # so it may skip at most as many frames as it filled with silence.
        skip = next((k for k in range(0, g - r + 4, 4)
                     if received[g:g + 64] == expected[e + k:e + k + 64]), None)
        if skip is None:
            sys.exit(f"FAIL: play {n}: after a pause at frame {e // 4} the sound did not go on as converted")
        # Where one repeat meets the next nothing may be inserted: a pause
        # there is the join's, not the machine's.
        if repeated and e % (len(expected) // int(sys.argv[4])) == 0:
            sys.exit(f"FAIL: {(g - r) // 4} frames of silence were inserted where one repeat meets the next")
        pauses.append((n, e // 4, (g - r) // 4, skip // 4))
        r, e = g, e + skip
    # A repeating play goes on until the program is closed.
    if not repeated and any(received[r:r + 4410 * 4]):
        sys.exit(f"FAIL: play {n}: sound after the end of the file")
if worst:
    print(f"(the server's join silenced at most {worst} frames at a start)")
for n, frame, length, skipped in pauses:
    print(f"(play {n}: the sound paused {length} frames before frame {frame}, and the server skipped "
          f"{skipped}: the machine was too busy for the sound thread)")
skipped = sum(p[3] for p in pauses)
what = f"{sys.argv[4]} repeats back to back" if repeated else f"each of {plays} plays"
print(f"the server received all {len(expected) // 4} frames of {what} exactly as converted"
      + (f", but {skipped} it skipped after underruns" if skipped else ""))
PY
python3 "$work/check.py" "$work/expected.wav" "$work/received.raw" 3 1

# Named as the desktop expects: the program, its icon, music, the track.
for property in 'application.name = "Sonivel"' 'application.icon_name = "sonivel"' 'media.role = "music"' \
                'media.name = "in.wav"'; do
  grep -qF "$property" "$work/streams.txt" || {
    echo "FAIL: the stream lacks $property:"; cat "$work/streams.txt"; exit 1; }
done
echo "the stream is named as the desktop expects"

# One track flowing into itself, repeated by Auto repeat on the open device:
# one full block long, so that each repeat starts where a block of the uncut
# recording would. What is heard is the loop recorded four times over, as
# one file: the stereo effect's right channel reads ahead into the next
# repeat, with no silence before the join and no jump at it.
loop="$work/loop.wav"
sox -r 11025 -n -r 11025 -b 8 -c 1 -e unsigned "$loop" synth 11026s sine 300-2000 vol 0.8
sox "$loop" "$loop" "$loop" "$loop" "$work/loop4.wav"
"$converter" "$work/loop4.wav" "$work/loop-expected.wav" --rate 44100 --bits 16 --stereo --effects >/dev/null
sed -i 's/^AutoRepeat=.*/AutoRepeat=1/' "$work/config/Korvath/Sonivel.conf"
record "$work/loop.raw"
(
  unset SDL_AUDIODRIVER; export SONIVEL_AUDIO=pulse QT_QPA_PLATFORM=offscreen
  "$program" "$loop" >"$work/loop.log" 2>&1 &
  sonivel=$!
  # Three plays and a part of the fourth.
  sleep 3.7
  kill "$sonivel"
  wait "$sonivel"
) || { echo "FAIL: the program did not play and end cleanly:"; cat "$work/loop.log"; exit 1; }
sleep 0.3
kill "$recorder"
wait "$recorder" 2>/dev/null || true
recorder=
python3 "$work/check.py" "$work/loop-expected.wav" "$work/loop.raw" 1 3 4

# A stop while playing (here the program asked to end, which stops the run as
# the Stop button does): the stream is corked and flushed, so the sink falls
# silent well before the quarter second the server holds would take to play
# out. The bound, 100 ms, leaves room for a busy machine (and the sanitizer
# builds) to take the request; bench/play_cost.sh measures the click itself.
loud="$work/loud.wav"
sox -n -r 44100 -b 16 -c 2 "$loud" synth 10 sine 440 vol 0.5
sed -i 's/^AutoRepeat=.*/AutoRepeat=0/' "$work/config/Korvath/Sonivel.conf"
record "$work/stop.raw"
(
  unset SDL_AUDIODRIVER; export SONIVEL_AUDIO=pulse QT_QPA_PLATFORM=offscreen
  "$program" "$loud" >"$work/stop.log" 2>&1 &
  sonivel=$!
  sleep 2
  kill -TERM "$sonivel"
  stat -c %s "$work/stop.raw" >"$work/stop.at"
  wait "$sonivel"
) || { echo "FAIL: the program did not end cleanly:"; cat "$work/stop.log"; exit 1; }
sleep 0.3
kill "$recorder"
wait "$recorder" 2>/dev/null || true
recorder=
python3 - "$work/stop.raw" "$(cat "$work/stop.at")" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
at = int(sys.argv[2]) // 4 * 4
frames = [int.from_bytes(data[i:i + 2], "little", signed=True) for i in range(0, len(data) - 3, 4)]
loud = [i for i, v in enumerate(frames) if abs(v) > 1000]
if not loud or loud[0] * 4 > at:
    sys.exit("FAIL: nothing was heard before the stop")
after = max(0, loud[-1] - at // 4)
ms = after * 1000 / 44100
if ms > 100:
    sys.exit(f"FAIL: the sink still sounded {ms:.1f} ms after the stop")
print(f"the sink fell silent {ms:.1f} ms after the stop (bound 100 ms)")
PY
