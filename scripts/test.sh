#!/usr/bin/env bash
# Checks the format of every C++ file, then builds everything and runs every test: the plain
# suite (g++) with the install and Debian package checks (scripts/test-install.sh,
# scripts/test-package.sh), the Windows x64 module cross-built with MinGW-w64 and run under Wine
# (its state must match the Linux build's byte for byte, and each loads the other's; its editor,
# opened in a Win32 window under Xvfb, must look as the Linux goldens), the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer
# (clang), the concurrency suites under ThreadSanitizer (clang), and each fuzz target for a
# bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== format: every tracked C++ file against .clang-format =="
bash scripts/check-format.sh

# The Linux and the Windows module trade the state of fixed settings through this folder.
export TONVERA_STATE_EXCHANGE="$root/build-windows/state-exchange"
rm -rf "$TONVERA_STATE_EXCHANGE"
mkdir -p "$TONVERA_STATE_EXCHANGE"

echo "== build and test: g++ =="
bash scripts/build.sh release
ctest --test-dir build --output-on-failure --parallel "$jobs"

echo "== Windows x64: MinGW-w64 cross build, its tests under Wine =="
started=$(date +%s)
bash scripts/build.sh windows
ctest --test-dir build-windows --output-on-failure --parallel "$jobs"
# Now that the Windows module has written its state, the Linux one loads it.
ctest --test-dir build --output-on-failure -R StateOfFixedSettings
echo "Windows build and Wine run: $(($(date +%s) - started)) s"
echo "== install rules and the Debian package =="
bash scripts/test-install.sh build
bash scripts/test-package.sh

echo "== build and test: clang, AddressSanitizer + UndefinedBehaviorSanitizer =="
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --parallel "$jobs"

echo "== build and test: clang, ThreadSanitizer (concurrency suites) =="
bash scripts/build.sh tsan
TSAN_OPTIONS=halt_on_error=1:second_deadline_for_exit=0 \
  ctest --test-dir build-tsan --output-on-failure --parallel "$jobs" --no-tests=ignore

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz targets (bounded) =="
  bash scripts/build.sh fuzz
  bash fuzz/run "$root/build-fuzz"
fi
