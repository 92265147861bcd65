#!/usr/bin/env bash
# Builds the Windows download out/Tonvera-<version>-win64.zip from the MinGW-w64 cross build:
# the folder Tonvera-<version>-win64/ with INSTALL.txt, VstPlugins/Tonvera.dll and
# VST3/Tonvera.vst3/Contents/x86_64-win/Tonvera.vst3, laid out by the tree's own install rules.
# Prints the path of the zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/build.sh windows tonvera_plugin >/dev/null
version=$(sed -n 's/^project(Tonvera VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Tonvera-$version-win64
staging=$root/build-windows/package
rm -rf "$staging"
cmake --install build-windows --prefix "$staging/$name" >/dev/null
mkdir -p out
rm -f "out/$name.zip"
(cd "$staging" && cmake -E tar cf "$root/out/$name.zip" --format=zip "$name")
echo "out/$name.zip"
