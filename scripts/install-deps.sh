#!/usr/bin/env bash
# Installs the Debian packages the build needs.
#   scripts/install-deps.sh --demo   only what the module, the renderer and the demo need
#   scripts/install-deps.sh          everything: the tests, the sanitizer and Windows builds too
# Idempotent: packages already present are not touched, and apt is not called at all when
# nothing is missing. Further package names on the command line are added (bench/run passes its
# benchmark-only ones).
set -euo pipefail

# The module (with its editor), the renderer and the style package.
packages=(
  cmake ninja-build g++ ccache pkg-config dpkg-dev
  zlib1g-dev libmd-dev libsndfile1-dev
  libpng-dev libfreetype-dev fonts-dejavu-core libx11-dev libxext-dev
)
if [ "${1:-}" = --demo ]; then
  shift
else
  # The suites and their tools: GoogleTest, clang for the sanitizer builds, a private X server for
  # the editor tests, the Debian package checks, the LV2 headers with the host library, validator
  # and command-line host, the MinGW-w64 cross build and Wine to run it, and the fresh Debian root
  # the demo is tried in (scripts/test-fresh.sh).
  packages+=(
    clang libclang-rt-dev libgtest-dev libgmock-dev libbenchmark-dev
    libxtst-dev xvfb xauth lintian clang-format
    lv2-dev liblilv-dev lilv-utils sordi jalv
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64
    mmdebstrap
  )
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  # Another package manager (an unattended upgrade, a desktop updater) may hold apt's and dpkg's
  # locks for a while: wait for them, up to TONVERA_APT_LOCK_TIMEOUT seconds. apt-get waits for
  # dpkg's lock itself (DPkg::Lock::Timeout); its update does not wait for the lock of the package
  # lists, so a refusal for that lock is tried again until the time is up.
  wait_s=${TONVERA_APT_LOCK_TIMEOUT:-600}
  deadline=$(($(date +%s) + wait_s))
  apt_get() {
    local status errors
    errors=$(mktemp)
    while :; do
      status=0
      DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout="$wait_s" "$@" \
        2>"$errors" || status=$?
      if [ $status -ne 0 ] && grep -q "Could not get lock" "$errors" && [ "$(date +%s)" -lt "$deadline" ]; then
        sleep 5
        continue
      fi
      cat "$errors" >&2
      break
    done
    rm -f "$errors"
    if [ $status -ne 0 ]; then
      echo "install-deps: 'apt-get $1' failed (exit $status). If another package manager held apt's" \
        "or dpkg's lock, it held it for more than ${wait_s} s (TONVERA_APT_LOCK_TIMEOUT sets the wait)." >&2
      exit $status
    fi
  }
  if [ -n "$(fuser /var/lib/dpkg/lock-frontend /var/lib/apt/lists/lock 2>/dev/null || true)" ]; then
    echo "install-deps: another package manager is running; waiting up to ${wait_s} s for it"
  fi
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
fi
