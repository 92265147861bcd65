#!/usr/bin/python3
"""Draws the spectra of several renders of one tone, one panel each, for the README.

  spectra.py OUT.png TITLE START SECONDS LABEL=FILE...

Each panel: the Blackman-Harris spectrum (dB, 0 = the strongest bin) of SECONDS of the file's
first channel from START, 60 Hz to 5 kHz, with the spurious-energy figure of
bench/peers/spurious.py in its title.
"""
import os
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import spurious  # noqa: E402


def main():
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    out, title, start, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
    renders = [arg.split("=", 1) for arg in sys.argv[5:]]
    fig, axes = plt.subplots(len(renders), 1, figsize=(9.6, 1.9 * len(renders) + 0.6), sharex=True)
    for axis, (label, path) in zip(np.atleast_1d(axes), renders):
        x = spurious.read(path)[int(start * spurious.RATE):int((start + seconds) * spurious.RATE)]
        n = len(x)
        a = 2 * np.pi * np.arange(n) / n
        w = 0.35875 - 0.48829 * np.cos(a) + 0.14128 * np.cos(2 * a) - 0.01168 * np.cos(3 * a)
        power = np.abs(np.fft.rfft(x * w, 1 << int(np.ceil(np.log2(n * 2))))) ** 2
        freqs = np.arange(len(power)) * spurious.RATE / (2 * (len(power) - 1))
        db = 10 * np.log10(power / np.max(power) + 1e-15)
        shown = (freqs >= 60) & (freqs <= 5000)
        figure = subprocess.run([sys.executable, spurious.__file__, "measure", path, str(start), str(seconds),
                                 "57.3"], capture_output=True, text=True, check=True).stdout.split()[0]
        axis.plot(freqs[shown], db[shown], linewidth=0.6, color="#c07000")
        axis.set_ylim(-120, 5)
        axis.set_ylabel("dB")
        axis.grid(alpha=0.3)
        axis.set_title("%s: energy between the harmonics %s dB" % (label, figure), fontsize=10, loc="left")
    np.atleast_1d(axes)[-1].set_xlabel("Hz")
    fig.suptitle(title, fontsize=11)
    fig.tight_layout()
    fig.savefig(out, dpi=80)


if __name__ == "__main__":
    main()
