#!/usr/bin/python3
"""How late a plug-in's output really is, for bench/compare-peers' latency rows.

  delay.py click FILE                 write a mono 44.1 kHz file: 1 s of silence, a click, 1 s
  delay.py measure IN OUT REPORTED    the real delay in samples of OUT against IN

The runners compensate the latency the plug-in reported, so a plug-in whose report is true puts
the click (or the onset of a tone) at the input's own place: the real delay is the reported one
plus the offset still found. The offset is between the onsets of IN and OUT, each the first
sample whose magnitude reaches 30 % of the file's largest (a correlation would not do for a
tone: it repeats every period, and a pitch-corrected one does not even match its input).
"""
import subprocess
import sys

import numpy as np

RATE = 44100


def read(path):
    raw = subprocess.run(["sox", path, "-t", "f32", "-c", "1", "-"], check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype=np.float32).astype(np.float64)


def main(argv):
    if len(argv) == 3 and argv[1] == "click":
        x = np.zeros(2 * RATE + 1, dtype=np.float32)
        x[RATE] = 0.8
        subprocess.run(["sox", "-t", "f32", "-r", str(RATE), "-c", "1", "-", argv[2]], input=x.tobytes(), check=True)
        return 0
    if len(argv) == 5 and argv[1] == "measure":
        onsets = []
        for path in (argv[2], argv[3]):
            x = np.abs(read(path))
            onsets.append(int(np.argmax(x >= 0.3 * x.max())) if x.size and x.max() > 0 else 0)
        print(int(argv[4]) + onsets[1] - onsets[0])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
