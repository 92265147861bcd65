#!/usr/bin/env bash
# Checks C++ files against the house format (.clang-format at the root); changes nothing.
#   scripts/check-format.sh [FILE...]   the given files, else every tracked *.cpp and *.h
# Prints each file that clang-format would change and exits 1 if there is any; 0 when all match.
# To apply the format to a file: clang-format -i FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

formatter=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$formatter" ]; then
  echo "check-format: clang-format not found (apt-get install clang-format)" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi

changed=0
for file in "${files[@]}"; do
  case "$file" in
    *.cpp | *.h | *.inc) ;;
    *) continue ;;
  esac
  if [ ! -f "$file" ]; then
    echo "$file: no such file" >&2
    changed=$((changed + 1))
  elif ! "$formatter" --style=file --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "$file"
    changed=$((changed + 1))
  fi
done

if [ "$changed" -gt 0 ]; then
  echo "check-format: $changed of ${#files[@]} files differ from .clang-format" >&2
  exit 1
fi
