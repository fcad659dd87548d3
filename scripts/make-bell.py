#!/usr/bin/env python3
# Writes assets/bell.wav: a short struck bell, made from scratch (inharmonic
# partials of a church-bell tuning, each dying away at its own pace).
#   scripts/make-bell.py [OUT]
import math
import struct
import sys
import wave

RATE = 22050
SECONDS = 1.6
# (ratio to the strike note, loudness, decay per second)
PARTIALS = [(0.5, 0.35, 1.6), (1.0, 1.0, 2.2), (1.2, 0.45, 2.8), (1.5, 0.3, 3.4),
            (2.0, 0.5, 3.0), (2.5, 0.2, 4.5), (3.0, 0.18, 5.0), (4.2, 0.1, 7.0)]
STRIKE = 880.0


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "assets/bell.wav"
    n = int(RATE * SECONDS)
    samples = []
    for i in range(n):
        t = i / RATE
        attack = min(1.0, t / 0.004)  # a 4 ms strike, no click
        fade = min(1.0, (SECONDS - t) / 0.05)  # no click at the end either
        v = sum(a * math.exp(-d * t) * math.sin(2 * math.pi * STRIKE * r * t)
                for r, a, d in PARTIALS)
        samples.append(v * attack * fade)
    peak = max(abs(s) for s in samples)
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(s / peak * 0.7 * 32767)) for s in samples))


if __name__ == "__main__":
    main()
