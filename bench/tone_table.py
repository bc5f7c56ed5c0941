#!/usr/bin/env python3
"""Tones through the converters, measured as a resampler is measured.

For each input rate and tone: a -6 dBFS sine of 3 s is written as a wave
file, converted by every command given, and the output is analysed with a
Kaiser-windowed FFT (beta 38) over one second centred on the first block
join (1 s into the output). Printed: the tone's level (dB, 0 = the input's)
and the strongest component more than 40 Hz from the tone, relative to it.

usage: tone_table.py WORKDIR NAME=COMMAND... (COMMAND has {in} and {out},
and is run by the shell; 16-bit output is read, mono or the left channel)
TONE_CASES="8000:0.09,0.45 16000:0.27" measures those rates at those
fractions of the input rate instead of the cases below.
"""
import os
import subprocess
import sys
import wave

import numpy as np

CASES = [(11025, 1000), (11025, 3000), (11025, 4500), (11025, 4950),
         (22050, 7000), (22050, 9900)]
AMPLITUDE = 10 ** (-6 / 20)


def write_tone(path, rate, freq, bits=16, seconds=3):
    t = np.arange(rate * seconds) / rate
    x = AMPLITUDE * np.sin(2 * np.pi * freq * t)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setframerate(rate)
        if bits == 16:
            w.setsampwidth(2)
            w.writeframes(np.round(x * 32767).astype("<i2").tobytes())
        else:
            w.setsampwidth(1)
            w.writeframes(np.round(x * 127 + 128).astype(np.uint8).tobytes())


def read_left(path):
    with wave.open(path, "rb") as w:
        rate, ch, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        data = w.readframes(w.getnframes())
    if width == 2:
        x = np.frombuffer(data, "<i2").astype(np.float64) / 32768
    else:
        x = (np.frombuffer(data, np.uint8).astype(np.float64) - 128) / 128
    return rate, x[::ch]


def analyse(path, freq, centre_s=1.0):
    rate, x = read_left(path)
    n = rate
    start = int(centre_s * rate) - n // 2
    seg = x[start:start + n]
    win = np.kaiser(n, 38)
    spec = np.abs(np.fft.rfft(seg * win)) / (win.sum() / 2)
    freqs = np.fft.rfftfreq(n, 1 / rate)
    near = np.abs(freqs - freq) <= 40
    tone = spec[near].max()
    far = spec.copy()
    far[near] = 0
    k = int(far.argmax())
    return 20 * np.log10(tone / AMPLITUDE), 20 * np.log10(far[k] / tone), freqs[k]


def cases():
    spec = os.environ.get("TONE_CASES")
    if not spec:
        return CASES
    out = []
    for item in spec.split():
        rate, fractions = item.split(":")
        out += [(int(rate), round(int(rate) * float(f))) for f in fractions.split(",")]
    return out


def main():
    work = sys.argv[1]
    commands = [a.split("=", 1) for a in sys.argv[2:]]
    print("| input | tone | " + " | ".join(f"{name}: level, strongest spur" for name, _ in commands) + " |")
    print("|---|---|" + "---|" * len(commands))
    for rate, freq in cases():
        src = f"{work}/tone-{rate}-{freq}.wav"
        write_tone(src, rate, freq)
        cells = []
        for i, (_, command) in enumerate(commands):
            out = f"{work}/out-{rate}-{freq}-{i}.wav"
            subprocess.run(command.format(**{"in": src, "out": out}), shell=True, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            level, spur, at = analyse(out, freq)
            cells.append(f"{level:+.2f} dB, {spur:.1f} dB ({at:.0f} Hz)")
        print(f"| {rate} Hz | {freq} Hz | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
