#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh release   build/          g++, warnings as errors, Debian's hardening flags
#   scripts/build.sh demo      build/          the release tree for the demo, the README's pictures
#                                              and the package: a tree configured here for the
#                                              first time leaves the test suites out (their
#                                              packages need not be there); the release flavour
#                                              switches them on again
#   scripts/build.sh asan      build-asan/     clang, AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/build.sh tsan      build-tsan/     clang, ThreadSanitizer, concurrency suites only
#   scripts/build.sh fuzz      build-fuzz/     clang, libFuzzer targets
#   scripts/build.sh bench     build-bench/    g++, Release, benchmarks
#   scripts/build.sh windows   build-windows/  MinGW-w64 g++ cross build: Tonvera.dll, the VST 3
#                                              bundle and the tests that run them under Wine
# TONVERA_REQUIRE_ALL=ON (scripts/test.sh) makes a part of the tree that would be left out for want
# of a package an error instead of a note, so that the tests' package list is proven complete.
# Further arguments name targets to build (default: all, but only the suites in the tsan tree and
# the fuzz targets in the fuzz tree; the windows tree holds only the module, the libraries it
# needs and the suites that run under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
shift || true

tests=(-DTONVERA_BUILD_TESTS=ON)
if [ "$flavour" = demo ]; then
  flavour=release
  tests=()
  [ -f "$root/build/CMakeCache.txt" ] || tests=(-DTONVERA_BUILD_TESTS=OFF)
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Paths relative to the checkout, so that another clone of the tree hits the same cache.
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  # The suites share a precompiled GoogleTest header (tests/CMakeLists.txt); ccache reuses
  # objects built against one only with these.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# targets: what the flavour builds when no target is named (empty: everything).
targets=()
case "$flavour" in
  release) dir=build;       cc=gcc;   cxx=g++;     opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVERA_WERROR=ON "${tests[@]}") ;;
  asan)    dir=build-asan;  cc=clang; cxx=clang++; opts=(-DCMAKE_BUILD_TYPE=Debug -DTONVERA_SANITIZE=ON -DTONVERA_WERROR=ON) ;;
  # The sanitizer trees run only their suites or fuzz targets, with line tables for the reports.
  tsan)    dir=build-tsan;  cc=clang; cxx=clang++; targets=(tonvera_tests)
           opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG"
             -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" -DTONVERA_TSAN=ON) ;;
  fuzz)    dir=build-fuzz;  cc=clang; cxx=clang++; targets=(tonvera_fuzzers)
           opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG"
             -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" -DTONVERA_FUZZ=ON -DTONVERA_BUILD_TESTS=OFF) ;;
  bench)   dir=build-bench; cc=gcc;   cxx=g++;     opts=(-DCMAKE_BUILD_TYPE=Release -DTONVERA_BUILD_BENCH=ON -DTONVERA_BUILD_TESTS=OFF) ;;
  windows) dir=build-windows; cc=;   cxx=;        opts=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DTONVERA_WERROR=ON
             -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake") ;;
  *) echo "unknown flavour: $flavour (release, demo, asan, tsan, fuzz, bench, windows)" >&2; exit 2 ;;
esac
opts+=(-DTONVERA_REQUIRE_ALL="${TONVERA_REQUIRE_ALL:-OFF}")

if [ "$flavour" = windows ]; then
  # FreeType and libpng for Windows from Debian's source packages (cached between runs), and the
  # style generator, which runs on the build machine, built natively with the release flags.
  deps=$(bash "$root/scripts/windows-deps.sh" | tail -n 1)
  # The release tree's generator when there is one (scripts/test.sh builds that tree first), so
  # that its libraries are not compiled a second time.
  if [ -f "$root/build/build.ninja" ]; then
    tools="$root/build"
  else
    tools="$root/$dir/native-tools"
    cmake -S "$root" -B "$tools" -G Ninja -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ "${launcher[@]}" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVERA_WERROR=ON -DTONVERA_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$tools" --parallel "$(nproc)" --target tonvera_stylegen
  # The libraries are looked up again each time, so that a new cache folder replaces the old one.
  opts+=(-DTONVERA_WINDOWS_DEPS="$deps" -DTONVERA_STYLEGEN="$tools/bin/tonvera_stylegen"
    -U "PNG_*" -U "FREETYPE_*")
fi

if [ "$flavour" = release ] && command -v dpkg-buildflags >/dev/null 2>&1; then
  # Debian's optimisation and hardening flags, so that the tests run the very binaries the Debian
  # package ships (scripts/package.sh installs from this tree). The file-prefix map is left out:
  # it names the checkout, which would keep other clones from sharing the compiler cache, and the
  # package strips the debugging information it affects.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  debian_flags() { dpkg-buildflags --get "$1" | sed 's/ *-ffile-prefix-map=[^ ]*//g'; }
  cppflags=$(debian_flags CPPFLAGS)
  ldflags=$(debian_flags LDFLAGS)
  opts+=(-DCMAKE_C_FLAGS="$(debian_flags CFLAGS) $cppflags" -DCMAKE_CXX_FLAGS="$(debian_flags CXXFLAGS) $cppflags"
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags"
    -DCMAKE_MODULE_LINKER_FLAGS="$ldflags")
fi

compilers=()
[ -z "$cc" ] || compilers=(-DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx")
cmake -S "$root" -B "$root/$dir" -G Ninja "${compilers[@]}" "${launcher[@]}" "${opts[@]}" >/dev/null
[ $# -gt 0 ] || set -- "${targets[@]}"
if [ $# -gt 0 ]; then
  cmake --build "$root/$dir" --parallel "$(nproc)" --target "$@"
else
  cmake --build "$root/$dir" --parallel "$(nproc)"
fi
