#!/usr/bin/python3
"""Time from a click on Stop to silence at a PulseAudio sink.

Records the sink's monitor with a low-latency recorder, stamping every piece
as it arrives; starts the program on a loud tone, lets it play, clicks Stop
(xdotool, at the button's place in the window) and finds the last loud
frame. That frame's time at the sink is at most the arrival time of the piece
holding it, less the frames that follow it in the piece, so the figure is an
upper bound: it includes the recorder's own latency (a few milliseconds).

    stop_latency.py PROGRAM WAVE X Y [TRIES]

Prints one line per try and then the median and the largest, in ms.
"""
import statistics
import subprocess
import sys
import threading
import time

import numpy as np

RATE, CHANNELS, FRAME = 44100, 2, 4
LOUD = 1000  # the tone peaks near 16000


class Recorder:
    def __init__(self):
        self.proc = subprocess.Popen(
            ["parec", "-d", "t.monitor", "--latency-msec=2", "--format=s16le",
             f"--rate={RATE}", f"--channels={CHANNELS}", "--raw"],
            stdout=subprocess.PIPE, bufsize=0)
        self.pieces = []  # (arrival time, frame count after this piece)
        self.data = bytearray()
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            piece = self.proc.stdout.read(4096)
            if not piece:
                return
            now = time.monotonic()
            with self.lock:
                self.data += piece
                self.pieces.append((now, len(self.data) // FRAME))

    def frames(self):
        with self.lock:
            usable = len(self.data) // FRAME * FRAME
            samples = np.frombuffer(bytes(self.data[:usable]), dtype="<i2")
            return samples.reshape(-1, CHANNELS), list(self.pieces)

    def loud_since(self, frame):
        samples, _ = self.frames()
        return len(samples) > frame and np.abs(samples[frame:].astype(np.int32)).max() > LOUD

    def stop(self):
        self.proc.kill()


def window_of(pid):
    for _ in range(500):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                             capture_output=True, text=True).stdout.split()
        if out:
            return out[0]
        time.sleep(0.01)
    raise SystemExit("the program's window did not appear")


def one_try(program, wave, x, y, recorder):
    start = len(recorder.frames()[0])
    player = subprocess.Popen([program, wave], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = window_of(player.pid)
        deadline = time.monotonic() + 10
        while not recorder.loud_since(start):
            if time.monotonic() > deadline:
                raise SystemExit("no sound reached the sink")
            time.sleep(0.02)
        time.sleep(1.5)
        clicked = time.monotonic()
        subprocess.run(["xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1"], check=True)
        time.sleep(1.0)
        samples, pieces = recorder.frames()
        loud = np.nonzero(np.abs(samples[start:].astype(np.int32)).max(axis=1) > LOUD)[0]
        last = start + int(loud[-1])
        arrival, after = next((t, n) for t, n in pieces if n > last)
        silent = arrival - (after - 1 - last) / RATE
        return (silent - clicked) * 1000
    finally:
        player.kill()
        player.wait()


def main():
    program, wave, x, y = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    tries = int(sys.argv[5]) if len(sys.argv) > 5 else 5
    recorder = Recorder()
    time.sleep(0.5)
    results = []
    for i in range(tries):
        ms = one_try(program, wave, x, y, recorder)
        results.append(ms)
        print(f"try {i + 1}: {ms:.0f} ms")
        time.sleep(0.3)
    recorder.stop()
    print(f"median {statistics.median(results):.0f} ms, largest {max(results):.0f} ms")


if __name__ == "__main__":
    main()
