#!/usr/bin/python3
"""Spurious-energy meter of bench/compare-peers, independent of the plug-in's own analysis.

  spurious.py tone OUT.wav NOTE SECONDS    write a 20-harmonic tone (amplitude 1/h, sine phases,
                                           a sawtooth's shape, peak about -4 dBFS) at the
                                           continuous note NOTE (69 = A4 = 440 Hz), 44.1 kHz mono
  spurious.py measure FILE START SECONDS NOTE
                                           print "SPURIOUS_DB PEAK_DBFS F0_HZ" for SECONDS of the
                                           first channel of FILE from START

The figure: a Blackman-Harris spectrum of the stretch (side lobes below -92 dB, zero-padded to
0.125 Hz bins); the output's own fundamental found within 70 cents of the note nearest NOTE (the
candidate whose harmonics, up to 8 kHz, hold the most energy within 2 Hz, on a 0.1-cent grid);
then the energy from 60 Hz to 8 kHz farther than max(5 Hz, 3 % of f0) from every multiple of
it, over the energy within, in dB. Files are read and written through sox (raw 32-bit float).
"""
import subprocess
import sys
import tempfile

import numpy as np

RATE = 44100


def read(path):
    with tempfile.NamedTemporaryFile(suffix=".f32") as raw:
        subprocess.run(["sox", path, "-t", "f32", "-r", str(RATE), raw.name, "remix", "1"], check=True)
        return np.fromfile(raw.name, dtype=np.float32).astype(np.float64)


def write(path, x):
    with tempfile.NamedTemporaryFile(suffix=".f32") as raw:
        x.astype(np.float32).tofile(raw.name)
        subprocess.run(["sox", "-t", "f32", "-r", str(RATE), "-c", "1", raw.name, "-e", "floating-point", path],
                       check=True)


def frequency(note):
    return 440.0 * 2.0 ** ((note - 69.0) / 12.0)


def tone(path, note, seconds):
    t = np.arange(int(seconds * RATE)) / RATE
    f0 = frequency(note)
    x = sum(np.sin(2 * np.pi * h * f0 * t) / h for h in range(1, 21) if h * f0 < RATE / 2)
    write(path, 0.63 * x / np.max(np.abs(x)))


def measure(path, start, seconds, note):
    x = read(path)[int(start * RATE):int((start + seconds) * RATE)]
    n = len(x)
    k = np.arange(n)
    a = 2 * np.pi * k / n
    w = 0.35875 - 0.48829 * np.cos(a) + 0.14128 * np.cos(2 * a) - 0.01168 * np.cos(3 * a)
    size = 1 << int(np.ceil(np.log2(n * 4)))
    power = np.abs(np.fft.rfft(x * w, size)) ** 2
    df = RATE / size
    cumulative = np.concatenate(([0.0], np.cumsum(power)))

    def band(lo, hi):
        lo = np.clip(np.ceil(lo / df).astype(int), 0, len(power))
        hi = np.clip(np.floor(hi / df).astype(int) + 1, 0, len(power))
        return cumulative[hi] - cumulative[lo]

    centre = frequency(round(note))
    candidates = centre * 2.0 ** (np.arange(-700, 701) / 12000.0)
    scores = []
    for f in candidates:
        h = np.arange(1, int(8000 / f) + 1) * f
        scores.append(np.sum(band(h - 2.0, h + 2.0)))
    f0 = candidates[int(np.argmax(scores))]
    freqs = np.arange(len(power)) * df
    nearest = np.maximum(np.round(freqs / f0), 1.0) * f0
    inside = np.abs(freqs - nearest) <= max(5.0, 0.03 * f0)
    used = (freqs >= 60.0) & (freqs <= 8000.0)
    harmonic = np.sum(power[used & inside])
    spurious = np.sum(power[used & ~inside])
    peak = np.max(np.abs(x))
    print("%.1f %.2f %.3f" % (10 * np.log10(max(spurious, 1e-30) / max(harmonic, 1e-30)),
                              20 * np.log10(max(peak, 1e-12)), f0))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "tone":
        tone(sys.argv[2], float(sys.argv[3]), float(sys.argv[4]))
    elif len(sys.argv) == 6 and sys.argv[1] == "measure":
        measure(sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), float(sys.argv[5]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
