#!/usr/bin/env bash
# Checks the format of every C++ file, tries the README's first command on a fresh Debian 12 root
# (scripts/test-fresh.sh: the committed tree, bare and with the packages that switch optional
# parts on, then the tests' package list proven complete there), then builds everything and runs
# every test: the plain suite (g++) with the install and Debian package checks (scripts/test-install.sh,
# scripts/test-package.sh), the Windows x64 module cross-built with MinGW-w64 and run under Wine
# (its state must match the Linux build's byte for byte, and each loads the other's; its editor,
# opened in a Win32 window under Xvfb, must look as the Linux goldens), the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer
# (clang), the concurrency suites under ThreadSanitizer (clang), and each fuzz target for a
# bounded time. Each stage prints its time when it ends, and the whole run its total.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

cat <<'PLAN'
scripts/test.sh runs these stages, each timed as it ends. Rough minutes on a 2-core machine, with
the compiler cache filled (nothing changed since the last run) and with no cache at all (a fresh
clone; about 30 minutes in all):
                                                                                cached  no cache
  packages   the Debian packages the tests need (only the missing ones)       first run only
  format     every C++ file against .clang-format                                  < 1       < 1
  fresh      scripts/demo.sh in a fresh Debian 12 root (the committed tree),       ~ 8       ~ 8
             bare and with GoogleTest, clang, ...; then the tests' package list   (the root's compiler
             installed there and every tested tree configured                      cache starts empty)
  release    g++ build, every suite, the install rules and the Debian package      ~ 2     ~ 5.5
  windows    MinGW-w64 cross build, its suites under Wine                          ~ 1       ~ 4
  asan       clang build with AddressSanitizer + UBSan, every suite                ~ 3     ~ 5.5
  tsan       clang build with ThreadSanitizer, the concurrency suites              ~ 1       ~ 3
  fuzz       the fuzz targets, built, then run 20 s each, one per core             ~ 2       ~ 4
PLAN

run_started=$(date +%s)
stage_name=
stage_started=0
# stage NAME: ends the stage before (printing its time) and starts NAME.
stage() {
  local now
  now=$(date +%s)
  if [ -n "$stage_name" ]; then
    printf '== %s: done in %d min %02d s ==\n' "$stage_name" $(((now - stage_started) / 60)) $(((now - stage_started) % 60))
  fi
  stage_name=$1
  stage_started=$now
  if [ -n "$stage_name" ]; then echo "== $stage_name: $2 =="; fi
}

stage packages "the Debian packages the tests need"
bash scripts/install-deps.sh
# Every part of the tree that the suites cover must configure: a missing package is an error here,
# not a part silently left out.
export TONVERA_REQUIRE_ALL=ON

stage format "every tracked C++ file against .clang-format"
bash scripts/check-format.sh

# Early: a fault here (a package missing from a list, an optional part that breaks the demo) is
# what a newcomer meets first, and it shows before the long builds.
stage fresh "scripts/demo.sh on a fresh Debian 12 root (scripts/test-fresh.sh)"
bash scripts/test-fresh.sh

# The Linux and the Windows module trade the state of fixed settings through this folder.
export TONVERA_STATE_EXCHANGE="$root/build-windows/state-exchange"
rm -rf "$TONVERA_STATE_EXCHANGE"
mkdir -p "$TONVERA_STATE_EXCHANGE"

stage release "g++ build and every suite, the install rules and the Debian package"
bash scripts/build.sh release
ctest --test-dir build --output-on-failure --parallel "$jobs" --no-tests=error
bash scripts/test-install.sh build
bash scripts/test-package.sh

stage windows "MinGW-w64 cross build, its suites under Wine"
bash scripts/build.sh windows
ctest --test-dir build-windows --output-on-failure --parallel "$jobs" --no-tests=error
# Now that the Windows module has written its state, the Linux one loads it.
ctest --test-dir build --output-on-failure -R StateOfFixedSettings --no-tests=error

stage asan "clang, AddressSanitizer + UndefinedBehaviorSanitizer"
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --no-tests=error

stage tsan "clang, ThreadSanitizer (concurrency suites)"
bash scripts/build.sh tsan
TSAN_OPTIONS=halt_on_error=1:second_deadline_for_exit=0 \
  ctest --test-dir build-tsan --output-on-failure --parallel "$jobs" --no-tests=error

if [ -f fuzz/CMakeLists.txt ]; then
  stage fuzz "the fuzz targets (bounded)"
  bash scripts/build.sh fuzz
  bash fuzz/run "$root/build-fuzz"
fi
stage ""
total=$(($(date +%s) - run_started))
printf 'scripts/test.sh: every stage passed in %d min %02d s\n' $((total / 60)) $((total % 60))
