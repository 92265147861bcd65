#!/usr/bin/env bash
# The main job on its embedded default input. Until the command-line renderer exists,
# this runs the frame-engine demo: a synthetic voice streamed through the spectral frame
# engine, checked for exact latency and transparency, with its cost per second of audio.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh release tonvera-frame-demo
echo "(the renderer is not built yet: running the frame-engine demo)"
"$root/build/bin/tonvera-frame-demo" "$@"
