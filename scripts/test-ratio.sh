#!/usr/bin/env bash
# Size of the test suite against the code it tests, in lines.
#   scripts/test-ratio.sh    prints: tests_lines=N code_lines=M ratio=R
# Counts every line (blank and comment lines included) of the tracked C++ files (*.cpp, *.h,
# *.inc) under tests/ and under the code folders base vector dsp core framework effect host sdk
# tools modulation gui (those that exist). Build scripts, data and seed files are not counted.
# The owner's proportion is a quarter to a third; `wc -l` on the same files checks the figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

count()
{
  git ls-files -z -- "${@/%//*.cpp}" "${@/%//*.h}" "${@/%//*.inc}" | xargs -0 -r cat | wc -l
}

folders=()
for folder in base vector dsp core framework effect host sdk tools modulation gui; do
  [ -d "$folder" ] && folders+=("$folder")
done

tests=$(count tests)
code=$(count "${folders[@]}")
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.3f", (c > 0 ? t / c : 0) }')
echo "tests_lines=$tests code_lines=$code ratio=$ratio"
