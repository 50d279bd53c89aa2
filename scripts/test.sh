#!/usr/bin/env bash
# The whole test suite from a fresh clone: installs what is missing, checks the
# formatting, then configures, builds and tests three builds:
#   build/      native (gcc)
#   build-san/  native with AddressSanitizer and UndefinedBehaviorSanitizer
#   build-win/  Windows x64 (mingw-w64), tests run under Wine
# then runs the fuzz targets briefly (build-fuzz/, clang) and the concurrency
# tests under ThreadSanitizer (build-tsan/).
# Warnings are errors. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== formatting"
scripts/check-format.sh

jobs=$(nproc 2>/dev/null || echo 2)

configure_build_test() {
  local dir=$1
  shift
  echo "== $dir: configure and build"
  cmake -S . -B "$dir" -G Ninja -DKD_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $dir: tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

configure_build_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo
scripts/check-install.sh
configure_build_test build-san -DCMAKE_BUILD_TYPE=Debug -DKD_SANITIZE=ON -DKD_BUILD_BENCHMARKS=OFF
configure_build_test build-win -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKD_BUILD_BENCHMARKS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

echo "== build-win/dist: the Windows deliverables"
scripts/build-windows.sh

# The fuzz targets (fuzz/, docs/robustness.md): each over its seeds plus 20
# seconds of new inputs, with ASan and UBSan; about 6 minutes on 2 cores.
echo "== build-fuzz: fuzz targets, their corpus and 20 seconds of new inputs each"
fuzz/run.sh --time 20

# The concurrency tests under ThreadSanitizer: only the programs with threads
# are built; about 3 minutes on 2 cores.
echo "== build-tsan: concurrency tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DKD_WERROR=ON -DKD_SANITIZE_THREAD=ON \
  -DKD_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-tsan -j "$jobs" --target foundation_tests threads_tests
TSAN_OPTIONS="halt_on_error=1 allocator_may_return_null=1" \
  ctest --test-dir build-tsan --output-on-failure -R '^(foundation_tests|threads_tests)$'

echo "== all test runs passed (native, sanitizers, Wine, fuzz targets, threads)"
