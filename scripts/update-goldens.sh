#!/usr/bin/env bash
# Rewrites every golden picture of the GUI (tests/gui/golden/: the control sheets of both styles,
# panels and rich text) from the current drawing code, then runs the
# comparisons once more. Look at the changed pictures (git diff --stat tests/gui/golden;
# out/gallery/index.html) before committing them.
#
#   scripts/update-goldens.sh [build dir]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --parallel 2
TONVERA_UPDATE_GOLDENS=1 ctest --test-dir "$build" -L gui --parallel 2 >/dev/null || true
ctest --test-dir "$build" -L gui --parallel 2 --output-on-failure
"$build/bin/gallery" --out "$here/out/gallery"
echo "goldens rewritten: $(find "$here/tests/gui/golden" -name '*.png' -path '*/Default/*' -o -name '*.png' -path '*/Silver/*' | wc -l) pictures"
