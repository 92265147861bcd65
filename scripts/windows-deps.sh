#!/usr/bin/env bash
# Builds FreeType and libpng for the Windows cross build from Debian's own source packages, at the
# versions the Linux build links (libfreetype6, libpng16-16), so that text and bitmaps come out
# pixel for pixel the same on both platforms. Static MinGW-w64 libraries go into a cache folder
# keyed by the versions built; a second run (and CI's second build) finds them there and only
# prints the folder. The machine's apt set-up is not touched: the source index lives in the cache.
#   scripts/windows-deps.sh        prints the install prefix (the last line of its output)
# Environment: TONVERA_WINDOWS_DEPS_CACHE overrides the cache folder
# (default ${XDG_CACHE_HOME:-~/.cache}/tonvera-windows-deps).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${TONVERA_WINDOWS_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tonvera-windows-deps}
toolchain="$root/cmake/toolchain-mingw-w64.cmake"

installed_version() {
  dpkg-query -W -f='${Version}' "$1" 2>/dev/null || {
    echo "windows-deps: $1 is not installed (scripts/install-deps.sh)" >&2
    exit 1
  }
}
freetype_version=$(installed_version libfreetype6)
libpng_version=$(installed_version libpng16-16)

# A finished prefix for exactly these versions (and this recipe) is reused as it is.
recipe=2
wanted="$cache/r${recipe}_freetype-${freetype_version}_libpng-${libpng_version}"
if [ -f "$wanted/.complete" ]; then
  echo "$wanted"
  exit 0
fi

# A private apt source index: deb-src entries for the suites the machine's own Debian sources name.
apt_dir="$cache/apt"
mkdir -p "$apt_dir/sources" "$apt_dir/lists/partial" "$apt_dir/archives/partial"
cat >"$apt_dir/sources/tonvera-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_options=(-o "Dir::Etc::SourceParts=$apt_dir/sources" -o Dir::Etc::SourceList=/dev/null
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir" -o APT::Sandbox::User=root -qq)
apt-get "${apt_options[@]}" update >&2

# Fetches the source package at the installed version. The security suite's source files are
# sometimes missing from a mirror; then the newest other Debian revision of the same upstream
# release is taken (Debian's revisions of these packages only carry security fixes), with a warning.
fetch_source() {
  local package=$1 version=$2 work=$3 upstream candidate
  upstream=${version%-*}
  for candidate in "$version" $(apt-cache "${apt_options[@]}" showsrc "$package" |
    sed -n 's/^Version: //p' | sort -u -r -V | grep -v -x -F "$version"); do
    [ "${candidate%-*}" = "$upstream" ] || continue
    if (cd "$work" && apt-get "${apt_options[@]}" source --download-only "$package=$candidate" >&2); then
      [ "$candidate" = "$version" ] ||
        echo "windows-deps: WARNING: $package $version has no source on the mirror; built $candidate" >&2
      echo "$candidate"
      return 0
    fi
  done
  echo "windows-deps: no source package for $package $version" >&2
  return 1
}

work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
freetype_built=$(fetch_source freetype "$freetype_version" "$work")
libpng_built=$(fetch_source libpng1.6 "$libpng_version" "$work")
prefix="$cache/r${recipe}_freetype-${freetype_built}_libpng-${libpng_built}"
if [ -f "$prefix/.complete" ]; then
  [ "$prefix" = "$wanted" ] || ln -sfn "$prefix" "$wanted"
  echo "$prefix"
  exit 0
fi
rm -rf "$prefix"

# dpkg-source applies Debian's patches (FreeType's subpixel and hardening options among them).
(cd "$work" && dpkg-source --no-check -x freetype_"${freetype_built#*:}".dsc freetype >&2 &&
  dpkg-source --no-check -x libpng1.6_"${libpng_built#*:}".dsc libpng >&2)

common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON)
# Debian's own build leaves out bzip2, HarfBuzz and Brotli as well. zlib, here and for libpng,
# comes from Debian's libz-mingw-w64-dev through the toolchain's sysroot (FreeType's internal copy
# would clash with it in one link); the GUI library links it after both.
cmake -S "$work/freetype" -B "$work/freetype-build" "${common[@]}" -DFT_REQUIRE_ZLIB=ON \
  -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >&2
cmake --build "$work/freetype-build" --target install >&2
cmake -S "$work/libpng" -B "$work/libpng-build" "${common[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
  -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON >&2
cmake --build "$work/libpng-build" --target install >&2
printf 'freetype %s\nlibpng1.6 %s\n' "$freetype_built" "$libpng_built" >"$prefix/VERSIONS"
touch "$prefix/.complete"
[ "$prefix" = "$wanted" ] || ln -sfn "$prefix" "$wanted"
echo "$prefix"
