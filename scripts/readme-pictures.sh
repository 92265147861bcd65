#!/usr/bin/env bash
# Redraws the pictures the README shows, from the embedded demo phrase:
#   docs/pictures/pitch-plot.png   input and output pitch of the demo against the scale's notes
#                                  (tonvera-render --demo --plot)
#   docs/pictures/pitch-plot-note-hold.png
#                                  the same with 25 cents of Note hold (--set "Note hold=25")
#   docs/pictures/pitch-plot-live.png
#                                  the same in Live, the low-latency mode (--set Live=On)
#   docs/pictures/editor.png       the plug-in's editor with the demo's settings, drawn without
#                                  a screen (tonvera-render --snapshot-editor)
# Usage: scripts/readme-pictures.sh [BUILD_DIR]
# With BUILD_DIR (a configured tree holding bin/tonvera-render and the Tonvera.vst3 bundle) the
# pictures come from that build; without it the release tree build/ is brought up to date first
# (only the renderer and the module). The demo's audio goes to a temporary folder and is removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ $# -gt 0 ]; then
  build=$(cd "$1" && pwd)
else
  bash scripts/install-deps.sh --demo
  bash scripts/build.sh demo tonvera-render tonvera_plugin
  build="$root/build"
fi
render="$build/bin/tonvera-render"
if [ ! -x "$render" ] || [ ! -d "$build/Tonvera.vst3" ]; then
  echo "readme-pictures: $build has no bin/tonvera-render or Tonvera.vst3 (build tonvera-render and tonvera_plugin)" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
pictures="$root/docs/pictures"
mkdir -p "$pictures"
# An empty settings folder: defaults the user saved on this machine must not show in the pictures.
XDG_CONFIG_HOME="$scratch/config" "$render" --module "$build/Tonvera.vst3" --demo --out-dir "$scratch" \
  --plot "$pictures/pitch-plot.png" --snapshot-editor "$pictures/editor.png" >/dev/null
XDG_CONFIG_HOME="$scratch/config" "$render" --module "$build/Tonvera.vst3" --demo --out-dir "$scratch" \
  --set "Note hold=25" --plot "$pictures/pitch-plot-note-hold.png" >/dev/null
XDG_CONFIG_HOME="$scratch/config" "$render" --module "$build/Tonvera.vst3" --demo --out-dir "$scratch" \
  --set Live=On --plot "$pictures/pitch-plot-live.png" >/dev/null

# The README's first impression should load fast: keep every picture well under 150 KB.
status=0
for picture in "$pictures/pitch-plot.png" "$pictures/pitch-plot-note-hold.png" "$pictures/pitch-plot-live.png" \
  "$pictures/editor.png"; do
  bytes=$(stat -c %s "$picture")
  echo "${picture#"$root"/}: $bytes bytes"
  if [ "$bytes" -ge 150000 ]; then
    echo "readme-pictures: ${picture#"$root"/} is larger than 150 KB" >&2
    status=1
  fi
done
exit $status
