#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# Idempotent: packages already present are not touched, and apt is not called at all
# when nothing is missing. Extra package names on the command line are added
# (bench/run passes its benchmark-only ones).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-dev ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libmd-dev libsndfile1-dev
  libpng-dev libfreetype-dev fonts-dejavu-core libx11-dev libxext-dev libxtst-dev xvfb xauth
  dpkg-dev lintian clang-format
  lv2-dev liblilv-dev lilv-utils sordi jalv
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64
  "$@"
)

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
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
