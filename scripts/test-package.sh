#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh), checks it with lintian (no error allowed),
# installs it with dpkg -i, renders a short generated tone through /usr/lib/vst3/Tonvera.vst3 with
# the installed /usr/bin/tonvera-render, then removes and purges it and checks that nothing it
# installed is left behind.
#
# Installs into the running system, so it needs root: CI runs it as root on a throwaway machine.
# Anyone else gets a skip, and a machine that already has a tonvera package is left alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: the package test installs into the system with dpkg -i and needs root (CI runs it as root)"
  exit 0
fi
if dpkg-query -W -f='${db:Status-Status}' tonvera 2>/dev/null | grep -qv '^not-installed$'; then
  echo "SKIP: a tonvera package is already on this machine; the package test leaves it alone"
  exit 0
fi

work=$(mktemp -d)
installed_by_us=0
cleanup() {
  if [ "$installed_by_us" -eq 1 ]; then dpkg -P tonvera >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

echo "== build the package =="
package=$(bash "$root/scripts/package.sh" | tail -n 1)
echo "$package"
upstream=$(dpkg-deb -f "$package" Version)
upstream=${upstream%-*}

echo "== lintian =="
if command -v lintian >/dev/null; then
  # Errors fail the test; warnings and notes are shown for the record.
  lint=0
  lintian --fail-on error --display-info "$package" >"$work/lintian.log" 2>&1 || lint=$?
  grep -v 'running with root privileges' "$work/lintian.log" || echo "(lintian: nothing to report)"
  [ "$lint" -eq 0 ] || fail "lintian reports an error (exit status $lint)"
else
  fail "lintian is missing (scripts/install-deps.sh installs it)"
fi

# Everything the package holds, and which of those paths the system had before (/usr, /usr/lib, ...).
dpkg-deb --fsys-tarfile "$package" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^\.\?$' | sort >"$work/paths"
while read -r path; do
  if [ -e "$path" ]; then echo "$path"; fi
done <"$work/paths" >"$work/existing"

echo "== dpkg -i =="
installed_by_us=1
dpkg -i "$package"
while read -r path; do
  [ -e "$path" ] || fail "$path is not there after dpkg -i"
done <"$work/paths"
if command -v man >/dev/null && [ "$(man -w tonvera-render)" != /usr/share/man/man1/tonvera-render.1.gz ]; then
  fail "man does not find the page of tonvera-render"
fi
answer=$(/usr/bin/tonvera-render --version)
[ "$answer" = "tonvera-render $upstream" ] || fail "tonvera-render --version says \"$answer\""

# LV2 hosts find the bundle in their default folder.
if command -v lv2info >/dev/null; then
  # Read whole first: grep -q leaving early would end lv2info by SIGPIPE, which pipefail reports.
  lv2=$(lv2info https://tonvera.example/lv2/tonvera 2>/dev/null || true)
  grep -q 'Bundle: *file:///usr/lib/lv2/Tonvera.lv2/' <<<"$lv2" ||
    fail "LV2 hosts do not find https://tonvera.example/lv2/tonvera in /usr/lib/lv2/Tonvera.lv2"
fi

echo "== render through /usr/lib/vst3/Tonvera.vst3 with /usr/bin/tonvera-render =="
/usr/bin/tonvera-render --write-test-tone "$work/tone.wav" --seconds 2
if /usr/bin/tonvera-render --module /usr/lib/vst3/Tonvera.vst3 "$work/tone.wav" "$work/tuned.wav" \
  --set Depth=100 --set Speed=100 >"$work/render.log"; then
  cat "$work/render.log"
  # The tone holds its notes 35 cents sharp: corrected, the output must lie far closer to them.
  read -r before after < <(sed -n 's/.*input mean \([0-9.]*\).*output mean \([0-9.]*\).*/\1 \2/p' "$work/render.log") || true
  if [ -z "${after:-}" ] || ! awk -v b="$before" -v a="$after" 'BEGIN { exit !(a < b / 4) }'; then
    fail "the installed plug-in did not correct the tone (input ${before:-?} cents, output ${after:-?} cents)"
  fi
else
  fail "rendering through the installed plug-in failed"
fi

echo "== dpkg -r (and -P) =="
dpkg -r tonvera
# Without configuration files the removal already forgets the package; purge whatever is left.
if [ "$(dpkg-query -W -f='${db:Status-Status}' tonvera 2>/dev/null)" = config-files ]; then dpkg -P tonvera; fi
installed_by_us=0
status=$(dpkg-query -W -f='${db:Status-Status}' tonvera 2>/dev/null || echo not-installed)
[ "$status" = not-installed ] || fail "dpkg still knows tonvera as \"$status\""
while read -r path; do
  if [ -e "$path" ] && ! grep -qxF "$path" "$work/existing"; then fail "$path is left behind"; fi
done <"$work/paths"
if compgen -G "/var/lib/dpkg/info/tonvera.*" >/dev/null; then fail "dpkg's records of tonvera are left behind"; fi

if [ "$failures" -ne 0 ]; then
  echo "package test: $failures failure(s)" >&2
  exit 1
fi
echo "package test: passed ($(wc -l <"$work/paths") paths installed and removed)"
