#!/usr/bin/env bash
# Checks the format of every C++ file, then builds everything and runs every test: the plain
# suite (g++) with the install and Debian package checks (scripts/test-install.sh,
# scripts/test-package.sh), the same suite under AddressSanitizer + UndefinedBehaviorSanitizer
# (clang), the concurrency suites under ThreadSanitizer (clang), and each fuzz target for a
# bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== format: every tracked C++ file against .clang-format =="
bash scripts/check-format.sh

echo "== build and test: g++ =="
bash scripts/build.sh release
ctest --test-dir build --output-on-failure --parallel "$jobs"
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
