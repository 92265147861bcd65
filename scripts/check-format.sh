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
present=()
for file in "${files[@]}"; do
  case "$file" in
    *.cpp | *.h | *.inc) ;;
    *) continue ;;
  esac
  if [ -f "$file" ]; then
    present+=("$file")
  else
    echo "$file: no such file" >&2
    changed=$((changed + 1))
  fi
done

# Many files to one clang-format, on every core; it names each file that differs in its complaints
# ("FILE:LINE:COLUMN: error: code should be clang-formatted").
if [ ${#present[@]} -gt 0 ]; then
  report=$(printf '%s\0' "${present[@]}" |
    xargs -0 -n 40 -P "$(nproc)" "$formatter" --style=file --dry-run -Werror 2>&1 >/dev/null || true)
  while IFS= read -r file; do
    [ -n "$file" ] || continue
    echo "$file"
    changed=$((changed + 1))
  done < <(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
  # clang-format failing without naming a file (it could not run at all) is a failure too.
  if [ -n "$report" ] && [ "$changed" -eq 0 ]; then
    printf '%s\n' "$report" >&2
    changed=1
  fi
fi

if [ "$changed" -gt 0 ]; then
  echo "check-format: $changed of ${#files[@]} files differ from .clang-format" >&2
  exit 1
fi
