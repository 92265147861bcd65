#!/usr/bin/env bash
# Opt-in check with Debian's Ardour (package ardour, ardour7-lua): a headless session on Ardour's
# dummy audio back end inserts the built VST 3 bundle and the VST 2.4 module, loads each of their
# programs through Ardour's own preset call, records a region of the back end's sine input on each
# track and plays it back through them (their output must carry it), then exits. A
# plug-in that reports to Ardour from inside one of its calls hangs it: the run is bounded and
# fails after the timeout.
#   scripts/ardour-check.sh [build-dir] [timeout-seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
limit=${2:-120}
command -v ardour7-lua >/dev/null || { echo "ardour-check: ardour7-lua is not installed (Debian package ardour)" >&2; exit 2; }
[ -d "$build/Tonvera.vst3" ] && [ -f "$build/Tonvera.so" ] ||
  { echo "ardour-check: build Tonvera.so and the Tonvera.vst3 bundle in $build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The plug-in folders of a home of the check's own.
mkdir -p "$work/home/.config/ardour7" "$work/home/.vst3" "$work/home/.lxvst"
ln -s "$build/Tonvera.vst3" "$work/home/.vst3/Tonvera.vst3"
ln -s "$build/Tonvera.so" "$work/home/.lxvst/Tonvera.so"
# The dummy back end is hidden unless the configuration shows it; so is a VST 2.4 plug-in that
# also comes as VST 3; VST 2.4 plug-ins are looked for only when asked.
cat >"$work/home/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="conceal-vst2-if-vst3-exists" value="0"/>
    <Option name="use-lxvst" value="1"/>
    <Option name="plugin-path-lxvst" value="$work/home/.lxvst"/>
    <Option name="plugin-path-vst3" value="$work/home/.vst3"/>
  </Config>
</Ardour>
XML

# A headless Ardour only lists plug-ins its scanners have indexed: index both first (bounded too).
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
scanners=/usr/lib/ardour7
LD_LIBRARY_PATH="$scanners${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" timeout --kill-after=10 "$limit" \
  "$scanners/ardour-vst3-scanner" -f "$work/home/.vst3/Tonvera.vst3" >"$work/scan.log" 2>&1 || true
LD_LIBRARY_PATH="$scanners${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" timeout --kill-after=10 "$limit" \
  "$scanners/ardour-vst-scanner" -f "$work/home/.lxvst/Tonvera.so" >>"$work/scan.log" 2>&1 || true

status=0
TONVERA_ARDOUR_SESSION="$work/session" \
  timeout --kill-after=10 "$limit" ardour7-lua "$root/scripts/ardour-check.lua" >"$work/log" 2>&1 || status=$?
grep '^ardour-check:' "$work/log" || true
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "ardour-check: FAILED: Ardour did not finish within ${limit} s (a hang)" >&2
  exit 1
fi
if [ "$status" -ne 0 ] || ! grep -q '^ardour-check: ok' "$work/log"; then
  tail -n 30 "$work/log" >&2
  echo "ardour-check: FAILED (exit $status)" >&2
  exit 1
fi
