#!/usr/bin/env bash
# Rewrites the golden pictures of the GUI controls (tests/gui/golden/<style>/<control>.png) from
# the current drawing code, then runs the comparison once more. Look at the changed pictures
# (git diff --stat tests/gui/golden; out/gallery/index.html) before committing them.
#
#   scripts/update-goldens.sh [build dir]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --parallel 2 --target tonvera_gui_controls_tests gallery
TONVERA_UPDATE_GOLDENS=1 "$build/bin/tonvera_gui_controls_tests" --gtest_filter='MControlsPaint.EveryControlMatchesItsGoldenInBothStyles'
"$build/bin/tonvera_gui_controls_tests" --gtest_filter='MControlsPaint.*'
"$build/bin/gallery" --out "$here/out/gallery"
echo "goldens rewritten: $(find "$here/tests/gui/golden" -name '*.png' -path '*/Default/*' -o -name '*.png' -path '*/Silver/*' | wc -l) pictures"
