#!/usr/bin/env bash
# The main job on its embedded default input: builds the tree and renders the synthetic sung
# phrase through the Tonvera module as a host would (tonvera-render --demo), writing
# out/demo-input.wav, out/demo-corrected.wav and out/demo-pitch.csv and printing the pitch
# figures before and after. Further arguments go to tonvera-render (--set, --scale, --format).
# Without a built module it runs the frame-engine demo instead and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh release

module=""
for candidate in build/Tonvera.so build/bin/Tonvera.so; do
  [ -f "$candidate" ] && module=$candidate && break
done
if [ -n "$module" ] && [ -x build/bin/tonvera-render ]; then
  exec build/bin/tonvera-render --demo --out-dir "$root/out" --module "$root/$module" "$@"
fi
echo "(the Tonvera module is not built in this tree: running the frame-engine demo)"
exec build/bin/tonvera-frame-demo
