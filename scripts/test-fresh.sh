#!/usr/bin/env bash
# The README's first command on a fresh machine. Makes a minimal Debian 12 root (mmdebstrap
# --variant=minbase, with this machine's apt sources and apt configuration), puts a clean clone of
# the tree in it and, as root inside it, runs exactly `scripts/demo.sh` twice:
#   bare      nothing installed beyond the minimal root: the demo installs what it needs
#   optional  the packages that switch optional parts of the tree on (GoogleTest, Google
#             Benchmark, clang, the LV2 headers and host library) and none of the others those
#             parts need, as on many developers' machines; a fresh build folder, the root's
#             compiler cache from the first pass
# configures the whole tree there as a developer would (the parts whose packages are missing are
# left out with a note), then installs the tests' full package list (scripts/install-deps.sh) and
# configures the tested trees (no build) with TONVERA_REQUIRE_ALL, which proves that list complete.
# Usage: scripts/test-fresh.sh [COMMIT]     (default HEAD; the working tree's changes are not used)
# Needs root. The packages the root downloads are kept in a cache folder between runs
# (TONVERA_FRESH_CACHE, default ${XDG_CACHE_HOME:-~/.cache}/tonvera/fresh-debs); nothing else is.
# A root that cannot be made (no package registry reachable) is a failure.
set -euo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)
commit=${1:-HEAD}
cache=${TONVERA_FRESH_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/tonvera/fresh-debs}
# What the tree's configuration looks for and switches parts on with.
optional=(googletest libgtest-dev libgmock-dev libbenchmark-dev clang lv2-dev liblilv-dev)

fail() {
  echo "test-fresh: FAILED: $*" >&2
  exit 1
}
started=$(date +%s)
since() {
  local s=$(($(date +%s) - $1))
  printf '%d min %02d s' $((s / 60)) $((s % 60))
}

[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap's root mode and chroot)"
command -v mmdebstrap >/dev/null || fail "mmdebstrap is not installed (apt-get install mmdebstrap)"
sha=$(git -C "$tree" rev-parse --verify "$commit^{commit}") || fail "no commit $commit in $tree"

work=$(mktemp -d "${TMPDIR:-/var/tmp}/tonvera-fresh.XXXXXX")
sysroot=$work/root
mounts=()
cleanup() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
  # Never remove through a mount that is still there (the package cache is one).
  if findmnt -rn -o TARGET | grep -q -F "$work/"; then
    echo "test-fresh: $work is still mounted on; left in place" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# This machine's apt set-up: its sources (the same package registry) and its configuration.
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -s "$f" ] && sources+=("$f")
done
[ ${#sources[@]} -gt 0 ] || fail "this machine names no apt sources"
aptopts=()
for f in /etc/apt/apt.conf.d/*; do
  [ -f "$f" ] && aptopts+=(--aptopt="$f")
done

mkdir -p "$cache/partial"
echo "== fresh: a minimal Debian 12 root (mmdebstrap --variant=minbase; package cache $cache) =="
t=$(date +%s)
if ! mmdebstrap --mode=root --variant=minbase --format=directory --quiet "${aptopts[@]}" \
  --skip=essential/unlink --skip=download/empty \
  --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
  --setup-hook="sync-in '$cache' /var/cache/apt/archives" \
  --customize-hook="sync-out /var/cache/apt/archives '$cache'" \
  bookworm "$sysroot" "${sources[@]}" >"$work/mmdebstrap.log" 2>&1; then
  tail -n 30 "$work/mmdebstrap.log" >&2
  fail "could not make the Debian 12 root (is the package registry reachable?)"
fi
times=("the root made in $(since "$t")")
echo "${times[0]}"

# The system's file systems, and apt's archives from the cache, for the runs inside.
mountin() {
  mkdir -p "$sysroot$2"
  mount "${@:3}" "$1" "$sysroot$2"
  mounts+=("$sysroot$2")
}
mountin proc /proc -t proc
mountin sysfs /sys -t sysfs
mountin tmpfs /dev/shm -t tmpfs
mountin devpts /dev/pts -t devpts -o newinstance,ptmxmode=0666
rm -rf "$sysroot/var/cache/apt/archives"
mountin "$cache" /var/cache/apt/archives --bind
inroot() {
  chroot "$sysroot" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# A clean clone: the commit's files only, no build folders of this checkout.
git clone --quiet --no-hardlinks "$tree" "$sysroot/src/tonvera"
git -C "$sysroot/src/tonvera" checkout --quiet --detach "$sha"
echo "tree: $(git -C "$tree" log -1 --format='%h %s' "$sha" | cut -c1-100)"

# demo NAME [fresh]: runs exactly the README's first command (in a fresh build folder with
# "fresh") and checks that it printed its figures.
demo() {
  local t log=$work/demo-$1.log
  echo "== fresh: scripts/demo.sh in the $1 root =="
  [ "${2:-}" != fresh ] || rm -rf "$sysroot/src/tonvera/build" "$sysroot/src/tonvera/out"
  t=$(date +%s)
  inroot bash -c 'cd /src/tonvera && scripts/demo.sh' 2>&1 | tee "$log" ||
    fail "scripts/demo.sh failed in the $1 root"
  grep -q "cents" "$log" && [ -s "$sysroot/src/tonvera/out/demo-corrected.wav" ] ||
    fail "scripts/demo.sh in the $1 root printed no pitch figures or wrote no out/demo-corrected.wav"
  times+=("scripts/demo.sh in the $1 root: $(since "$t")")
  echo "${times[-1]}"
}
demo bare fresh
demo "bare (second run)"

echo "== fresh: the packages that switch optional parts on: ${optional[*]} =="
inroot bash -c 'apt-get -qq update && DEBIAN_FRONTEND=noninteractive \
  apt-get -o DPkg::Lock::Timeout=600 -qq install -y --no-install-recommends "$@"' sh "${optional[@]}" \
  >"$work/optional.log" 2>&1 || {
  tail -n 20 "$work/optional.log" >&2
  fail "could not install ${optional[*]} in the root"
}
demo optional fresh
# A developer's own configuration of the whole tree there: the parts whose packages are missing
# are left out with a note, none stops it.
inroot bash -c 'cd /src/tonvera && cmake -S . -B /tmp/partial -G Ninja' >"$work/partial.log" 2>&1 || {
  tail -n 20 "$work/partial.log" >&2
  fail "the whole tree does not configure in the optional root"
}
grep "left out" "$work/partial.log" || true

echo "== fresh: the tests' packages (scripts/install-deps.sh) and every tested tree configured =="
t=$(date +%s)
inroot bash -c 'cd /src/tonvera && scripts/install-deps.sh' >"$work/deps.log" 2>&1 || {
  tail -n 20 "$work/deps.log" >&2
  fail "scripts/install-deps.sh failed in the root"
}
times+=("scripts/install-deps.sh (the tests' list) in the root: $(since "$t")")
echo "${times[-1]}"
inroot bash -c 'cd /src/tonvera && set -e
  cmake -S . -B /tmp/release -G Ninja -DTONVERA_REQUIRE_ALL=ON >/tmp/release.log 2>&1 ||
    { cat /tmp/release.log; echo "the release tree (g++, every suite)"; exit 1; }
  clang=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTONVERA_REQUIRE_ALL=ON)
  cmake -S . -B /tmp/asan -G Ninja "${clang[@]}" -DTONVERA_SANITIZE=ON >/tmp/asan.log 2>&1 ||
    { cat /tmp/asan.log; echo "the sanitizer tree (clang, every suite)"; exit 1; }
  cmake -S . -B /tmp/fuzz -G Ninja "${clang[@]}" -DTONVERA_FUZZ=ON -DTONVERA_BUILD_TESTS=OFF >/tmp/fuzz.log 2>&1 ||
    { cat /tmp/fuzz.log; echo "the fuzz tree (clang, libFuzzer)"; exit 1; }' ||
  fail "a tested tree does not configure with the tests' packages (scripts/install-deps.sh misses one)"
echo "every tested tree configures with the tests' packages"
printf '  %s\n' "${times[@]}"
echo "test-fresh: passed in $(since "$started")"
