#!/usr/bin/env bash
# Checks where `cmake --install` puts every file, in a built tree (default build/, as
# `scripts/build.sh release` leaves it):
#   - the tree is configured again, twice, as scripts/build.sh does on every run, and must still
#     install into the per-user folders by default;
#   - with no prefix, into a temporary HOME: ~/.vst, ~/.vst3, ~/.lv2, ~/.local/bin, ~/.local/share/man;
#   - with --prefix DIR: DIR/lib/vst, DIR/lib/vst3, DIR/lib/lv2, DIR/bin, DIR/share/man, and nothing in
#     HOME;
# (the LV2 bundle where the tree builds one: Linux with Debian's lv2-dev)
#   - with DESTDIR and --prefix /usr, as the Debian package is staged;
# and that each installed renderer reports the build's version and finds the installed plug-in
# by itself. Touches nothing outside a temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The files under $1, relative to it, sorted.
files_under() {
  if [ -d "$1" ]; then (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); fi
}

# expect_files DIR WHAT FILE...: DIR holds exactly the FILEs.
expect_files() {
  local dir=$1 what=$2
  shift 2
  local expected actual
  expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
  actual=$(files_under "$dir")
  if [ "$actual" != "$expected" ]; then
    fail "$what: expected"
    echo "$expected" >&2
    echo "  found" >&2
    echo "$actual" >&2
  else
    echo "ok: $what: $# files where expected"
  fi
}

# run_installed PROGRAM WHAT: the installed renderer answers the build's version and renders a
# short tone through the plug-in it finds by itself (no --module).
run_installed() {
  local program=$1 what=$2 answer
  [ -x "$program" ] || { fail "$what: $program is not there"; return; }
  answer=$("$program" --version)
  [ "$answer" = "tonvera-render $version" ] || fail "$what: --version says \"$answer\", not \"tonvera-render $version\""
  "$program" --write-test-tone "$work/tone.wav" --seconds 0.5 >/dev/null
  rm -f "$work/tuned.wav"
  if "$program" "$work/tone.wav" "$work/tuned.wav" --set Depth=100 >"$work/render.log" 2>&1 &&
    [ -s "$work/tuned.wav" ]; then
    echo "ok: $what renders through the plug-in it finds: $(sed 's/.*: \(.* s at \)/\1/' "$work/render.log")"
  else
    fail "$what does not render through the installed plug-in:"
    sed 's/^/    /' "$work/render.log" >&2
  fi
}

install_quietly() {
  if ! "$@" >"$work/install.log" 2>&1; then
    fail "install failed: $*"
    sed 's/^/    /' "$work/install.log" >&2
  fi
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(uname -m)-linux
[ -n "$version" ] || { echo "FAIL: no project version in $build/CMakeCache.txt" >&2; exit 1; }
# lv2_files DIR: the LV2 bundle's files under DIR, when the tree builds the bundle.
lv2_files() {
  if grep -q '^TONVERA_LV2_INCLUDE_DIR:PATH=/' "$build/CMakeCache.txt"; then
    printf '%s\n' "$1/Tonvera.lv2/Tonvera.so" "$1/Tonvera.lv2/Tonvera.ttl" "$1/Tonvera.lv2/manifest.ttl" \
      "$1/Tonvera.lv2/presets.ttl"
  fi
}

echo "== configure $build twice more =="
for _ in 1 2; do cmake -S "$root" -B "$build" >/dev/null; done
cmake --build "$build" --target tonvera_plugin tonvera-render >/dev/null
prefix_in_cache=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
# The literal $HOME, read when the install runs.
# shellcheck disable=SC2016
[ "$prefix_in_cache" = '$HOME' ] || fail "CMAKE_INSTALL_PREFIX is \"$prefix_in_cache\" after reconfiguring, not \$HOME"

# Every install goes through DESTDIR, so that even a rule that ignored HOME and the prefix would
# land inside the temporary folder, where the listing shows it.
home=$work/home
echo "== cmake --install, no prefix, HOME=$home =="
HOME="$home" DESTDIR="$work/d1" install_quietly cmake --install "$build"
expect_files "$work/d1" "default install into HOME" \
  "${home#/}/.vst/Tonvera.so" "${home#/}/.vst3/Tonvera.vst3/Contents/$arch/Tonvera.so" \
  "${home#/}/.local/bin/tonvera-render" "${home#/}/.local/share/man/man1/tonvera-render.1" \
  $(lv2_files "${home#/}/.lv2")
HOME="$work/d1$home" run_installed "$work/d1$home/.local/bin/tonvera-render" "HOME/.local/bin/tonvera-render"

prefix=$work/prefix
echo "== cmake --install --prefix $prefix =="
HOME="$home" DESTDIR="$work/d2" install_quietly cmake --install "$build" --prefix "$prefix"
expect_files "$work/d2" "install into the given prefix, nothing into HOME" \
  "${prefix#/}/lib/vst/Tonvera.so" "${prefix#/}/lib/vst3/Tonvera.vst3/Contents/$arch/Tonvera.so" \
  "${prefix#/}/bin/tonvera-render" "${prefix#/}/share/man/man1/tonvera-render.1" \
  $(lv2_files "${prefix#/}/lib/lv2")
HOME="$work/d1$home.none" run_installed "$work/d2$prefix/bin/tonvera-render" "PREFIX/bin/tonvera-render"

# The man page documents every option the program's --help names.
man_page="$work/d2$prefix/share/man/man1/tonvera-render.1"
for option in $("$work/d2$prefix/bin/tonvera-render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -qF -- "${option//-/\\-}" "$man_page" || fail "the man page does not document $option"
done

echo "== DESTDIR=$work/stage cmake --install --prefix /usr =="
DESTDIR="$work/stage" HOME="$home" install_quietly cmake --install "$build" --prefix /usr
expect_files "$work/stage" "staged install under DESTDIR" \
  usr/lib/vst/Tonvera.so "usr/lib/vst3/Tonvera.vst3/Contents/$arch/Tonvera.so" \
  usr/bin/tonvera-render usr/share/man/man1/tonvera-render.1 $(lv2_files usr/lib/lv2)

if [ "$failures" -ne 0 ]; then
  echo "install test: $failures failure(s)" >&2
  exit 1
fi
echo "install test: passed"
