#!/usr/bin/env bash
# The main job on its embedded default input: builds the tree and renders the synthetic sung
# phrase through the Tonvera module as a host would (tonvera-render --demo), writing
# out/demo-input.wav, out/demo-corrected.wav and out/demo-pitch.csv and printing the pitch
# figures before and after. Further arguments go to tonvera-render (--set, --scale, --format).
# Without a built module it runs the frame-engine demo instead and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# Only what the demo runs: the module (with the VST 3 bundle, its editor and the embedded style
# package) and the renderer. A tree configured here first leaves the test suites out, whatever is
# installed (scripts/build.sh demo); the suites, their packages and the other flavours come with
# scripts/test.sh.
bash scripts/install-deps.sh --demo
bash scripts/build.sh demo tonvera_plugin tonvera-render

# The renderer finds the built module itself (the Tonvera.vst3 bundle in build/, loaded through
# VST 3; --format vst2 loads build/Tonvera.so instead).
if [ -d build/Tonvera.vst3 ] && [ -x build/bin/tonvera-render ]; then
  # The picture of the pitch before and after, and the editor as a host would show it.
  exec build/bin/tonvera-render --demo --out-dir "$root/out" --plot "$root/out/demo-pitch.png" \
    --snapshot-editor "$root/out/demo-editor.png" "$@"
fi
echo "(the Tonvera module is not built in this tree: running the frame-engine demo)"
bash scripts/build.sh demo tonvera-frame-demo
exec build/bin/tonvera-frame-demo
