#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/, clang, libFuzzer with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs them one at a time.
#
#   fuzz/run.sh [--time SECONDS] [--runs N] [--build-only] [TARGET...]
#
# Each target starts from its seeds (fuzz/corpus/TARGET, never written) and a
# working corpus of its own (build-fuzz/corpus/TARGET, which keeps what the
# runs find); it stops after SECONDS (default 60) or N executions, whichever
# comes first. Logs go to build-fuzz/logs/TARGET.log, inputs that fail to
# build-fuzz/artifacts/TARGET/. Without TARGET every target runs. Exits
# non-zero when a target fails.
set -euo pipefail
cd "$(dirname "$0")/.."

TARGETS=(database description digest record device_bitmap image kdpdb_bmp kdpdb_png
  kdpdb_values coercion)

seconds=60
runs=-1
build_only=0
chosen=()
while [ $# -gt 0 ]; do
  case $1 in
    --time) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build-only) build_only=1; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) chosen+=("$1"); shift ;;
  esac
done
[ ${#chosen[@]} -eq 0 ] && chosen=("${TARGETS[@]}")

out=build-fuzz
cmake -S . -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKD_FUZZ=ON -DKD_WERROR=ON \
  -DKD_BUILD_TESTS=OFF -DKD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" \
  --target $(printf 'fuzz_%s ' "${chosen[@]}")
[ $build_only -eq 1 ] && exit 0

# Leaks are findings too; a unit that takes more than 10 seconds is a hang.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=()
for target in "${chosen[@]}"; do
  if [ ! -d "fuzz/corpus/$target" ]; then
    echo "no such target: $target" >&2
    exit 2
  fi
  mkdir -p "$out/corpus/$target" "$out/artifacts/$target" "$out/logs"
  log="$out/logs/$target.log"
  echo "== fuzz_$target: ${seconds}s$([ "$runs" -ge 0 ] && echo " or $runs runs")"
  start=$(date +%s)
  if "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -runs="$runs" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$target/" \
    "$out/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^(#[0-9]+ +(INITED|DONE)|Done |stat::number_of_executed_units)' "$log" || true
    echo "   ok in $(($(date +%s) - start))s"
  else
    tail -n 40 "$log"
    echo "   FAILED: fuzz_$target (log $log, input in $out/artifacts/$target/)"
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz targets failed: ${failed[*]}" >&2
  exit 1
fi
