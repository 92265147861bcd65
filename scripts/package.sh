#!/usr/bin/env bash
# Builds the Debian package out/tonvera_<version>_<arch>.deb with dpkg-deb:
#   /usr/lib/vst/Tonvera.so                                 the plug-in for VST 2.4 hosts
#   /usr/lib/vst3/Tonvera.vst3/Contents/<cpu>-linux/...     the plug-in for VST 3 hosts
#   /usr/lib/lv2/Tonvera.lv2/                               the plug-in for LV2 hosts
#   /usr/bin/tonvera-render, /usr/share/man/man1/tonvera-render.1.gz
#   /usr/share/doc/tonvera/copyright, changelog.Debian.gz
# The files are laid out by the tree's own install rules (cmake --install --prefix /usr into a
# staging folder) from the release tree build/, which scripts/build.sh builds with Debian's
# optimisation and hardening flags (dpkg-buildflags), and stripped as Debian's tools strip them. The version is the project's
# (project() in CMakeLists.txt) with the Debian revision TONVERA_DEB_REVISION (default 1); the
# dependencies come from dpkg-shlibdeps. DEBFULLNAME and DEBEMAIL name the maintainer.
# Prints the path of the package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=$root/build
stage=$build/package-stage
revision=${TONVERA_DEB_REVISION:-1}
maintainer="${DEBFULLNAME:-Tonvera developers} <${DEBEMAIL:-developers@tonvera.example}>"
# Timestamps in the package (changelog, file times) from the last commit, so that a rebuild of
# the same tree gives the same package.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

for tool in dpkg-deb dpkg-shlibdeps dpkg-buildflags; do
  command -v "$tool" >/dev/null || { echo "package.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# The release tree is built with Debian's flags (scripts/build.sh), so the package holds the
# binaries the tests ran; only the two targets it ships are brought up to date.
bash "$root/scripts/build.sh" demo tonvera_plugin tonvera-render >&2

upstream=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$upstream" ] || { echo "package.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }
version=$upstream-$revision
arch=$(dpkg --print-architecture)

rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
doc=$stage/usr/share/doc/tonvera
mkdir -p "$doc" "$stage/DEBIAN"

# As Debian's helpers do: debugging symbols and notes out, libraries not executable, man pages
# and changelogs compressed without names or times.
find "$stage/usr" -type f -name '*.so' -exec chmod 0644 {} +
find "$stage/usr" -type f -name '*.so' -exec strip --remove-section=.comment --remove-section=.note --strip-unneeded {} +
strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/tonvera-render"
gzip -9n "$stage/usr/share/man/man1/tonvera-render.1"

cat >"$doc/copyright" <<'EOF'
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tonvera

Files: *
Copyright: 2026 The Tonvera developers
License: proprietary
 All rights reserved. This file grants no licence to copy, modify or
 redistribute the software.
EOF
cat >"$build/changelog.Debian" <<EOF
tonvera ($version) unstable; urgency=medium

  * Tonvera $upstream: the pitch-correction plug-in for VST 2.4 and VST 3 hosts
    and tonvera-render, the command-line renderer.

 -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")
EOF
gzip -9n -c "$build/changelog.Debian" >"$doc/changelog.Debian.gz"
find "$stage" -type d -exec chmod 0755 {} +
find "$doc" "$stage/usr/share/man" -type f -exec chmod 0644 {} +

# dpkg-shlibdeps reads the package list of a source tree; give it a minimal one.
mkdir -p "$build/shlibdeps/debian"
printf 'Source: tonvera\n\nPackage: tonvera\nArchitecture: any\n' >"$build/shlibdeps/debian/control"
binaries=$(find "$stage/usr" -type f \( -name '*.so' -o -path '*/bin/*' \) | sort)
# shellcheck disable=SC2086
depends=$(cd "$build/shlibdeps" && dpkg-shlibdeps -O $binaries | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
installed_size=$(du -k -s --apparent-size --exclude=DEBIAN "$stage" | cut -f1)

cat >"$stage/DEBIAN/control" <<EOF
Package: tonvera
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $installed_size
Depends: $depends
Section: sound
Priority: optional
Description: automatic pitch correction plug-in for VST 2.4, VST 3 and LV2 hosts
 Tonvera listens to a voice, finds the note it is reaching for in the chosen
 scale and pulls it there as fast (Speed) and as firmly (Depth) as asked,
 while keeping the formants of the voice in place.
 .
 This package holds the plug-in for VST 2.4 hosts (/usr/lib/vst), VST 3
 hosts (/usr/lib/vst3) and LV2 hosts (/usr/lib/lv2), and tonvera-render,
 which renders audio files through the plug-in from the command line.
EOF
(cd "$stage" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

mkdir -p "$root/out"
package=$root/out/tonvera_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" >/dev/null
echo "$package"
