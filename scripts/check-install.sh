#!/usr/bin/env bash
# The installed C++ library, as a program elsewhere uses it. Builds the native
# tree in build-install/ (no tests, no benchmarks; warnings are errors),
# installs it into build-install/prefix/ and checks that:
#   - every installed header includes only installed headers, and compiles on
#     its own against the prefix; every library header that tools/ includes
#     (its tests aside) is installed;
#   - tools/examples/read_records.cpp builds as an outside project, once with
#     the CMake package (tools/examples/outside/) and once with pkg-config and
#     a plain g++ command line, neither reading a header of the source tree;
#   - both programs print the expected records of a sample database that the
#     tree's kdpdb writes.
# Needs the packages of scripts/install-deps.sh. Exits non-zero on a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build=$root/build-install
prefix=$build/prefix
jobs=$(nproc 2>/dev/null || echo 2)
warnings=(-Wall -Wextra -Werror)

fail() {
  echo "check-install: $*" >&2
  exit 1
}

echo "== build-install: configure, build and install into $prefix"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKD_WERROR=ON \
  -DKD_BUILD_TESTS=OFF -DKD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs"
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

pc=$(find "$prefix" -name kddao.pc -path '*/pkgconfig/*')
[ -n "$pc" ] || fail "no kddao.pc under $prefix"
PKG_CONFIG_PATH=$(dirname "$pc")
export PKG_CONFIG_PATH
include=$prefix/include/kddao
[ -f "$include/recordset/recordset.h" ] || fail "no recordset/recordset.h under $include"

echo "== installed headers: each includes only installed headers and compiles alone"
mapfile -t headers < <(cd "$include" && find . -type f \( -name '*.h' -o -name '*.def' \) |
  sed 's|^\./||' | sort)
[ ${#headers[@]} -gt 0 ] || fail "no headers under $include"
for header in "${headers[@]}"; do
  while read -r included; do
    [ -f "$include/$included" ] ||
      fail "$header includes \"$included\", which is not installed"
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' \
    "$include/$header")
done
mkdir -p "$build/header-check"
for header in "${headers[@]}"; do
  [[ $header == *.h ]] || continue
  # Each header alone in a translation unit, with the flags the package gives.
  echo "#include \"$header\"" >"$build/header-check/unit.cpp"
  # shellcheck disable=SC2046
  g++ -std=c++17 "${warnings[@]}" -fsyntax-only $(pkg-config --cflags kddao) \
    "$build/header-check/unit.cpp" || fail "$header does not compile on its own"
done
echo "${#headers[@]} installed headers checked"
# The tree's own programs outside the library (tools/, not their tests) use
# only what an outside program can: every library header they include is installed.
while read -r used; do
  [ -f "$include/$used" ] || fail "tools/ includes \"$used\", which is not installed"
done < <(find tools -name '*.cpp' -o -name '*.h' | grep -v '/tests/' | xargs sed -n \
  's/^#include "\(\(foundation\|engine\|rawdb\|recordset\|bitmap\)\/[^"]*\)".*/\1/p' | sort -u)

echo "== the sample database, written by the tree's kdpdb"
kdpdb=$build/tools/kdpdb/kdpdb
sample=$build/sample
rm -rf "$sample"
mkdir -p "$sample"
kdx=samples/sample.kdx
"$kdpdb" create "$sample/sample.pdb" --name "KdDao Sample" --type DATA --creator KdSm >/dev/null
"$kdpdb" add "$sample/sample.pdb" --kdx "$kdx" Title="Hike to the lake" Category=1 Level=3 \
  Done=false Count=12 Total=4200 Ratio=0.75 Amount=18.5 Due=2024-05-01T08:30 >/dev/null
"$kdpdb" add "$sample/sample.pdb" --kdx "$kdx" Title="Buy batteries" Category=2 Level=1 \
  Done=true Count=-4 Total=-250 Ratio=0.5 Amount=-19.99 Due=2024-06-15 >/dev/null
"$kdpdb" add "$sample/sample.pdb" --kdx "$kdx" Title="Call Ada" Done=true Total=7 Ratio=1.25 \
  Due=2024-12-24T18:00:00 >/dev/null
# What the README shows read_records print for these records (the blank line
# after the last record aside).
expected='Title: VT_BSTR "Hike to the lake"
Due: VT_DATE 45413.354166666664
Amount: VT_R8 18.5

Title: VT_BSTR "Buy batteries"
Due: VT_DATE 45458
Amount: VT_R8 -19.989999999999998

Title: VT_BSTR "Call Ada"
Due: VT_DATE 45650.75
Amount: VT_R8 0'

# run_example PROGRAM: runs read_records on the sample and checks its output.
run_example() {
  local output
  output=$("$1" "$sample/sample.pdb" "$(cat samples/sample.digest)" Title Due Amount) ||
    fail "$1 failed"
  if [ "$output" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$output") >&2 || true
    fail "$1 printed other records than expected"
  fi
  echo "$1: the three records as expected"
}

# no_source_headers DEPFILE: the compiler's dependency list names no header of
# the source tree (only the example's own source file and installed headers).
no_source_headers() {
  local found
  found=$(tr -cs 'A-Za-z0-9_./+-' '\n' <"$1" |
    grep -E "^$root/(foundation|engine|rawdb|recordset|bitmap)/" || true)
  [ -z "$found" ] || fail "the outside build read headers of the source tree: $found"
}

echo "== read_records with the CMake package (tools/examples/outside/)"
outside=$build/outside-cmake
rm -rf "$outside"
cmake -S tools/examples/outside -B "$outside" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="${warnings[*]}" >/dev/null
found_dir=$(sed -n 's/^KdDao_DIR:PATH=//p' "$outside/CMakeCache.txt")
[ "$found_dir" -ef "$(dirname "$pc")/../cmake/KdDao" ] ||
  fail "find_package(KdDao) found $found_dir, not the package in $prefix"
cmake --build "$outside"
ninja -C "$outside" -t deps >"$outside/deps.txt"
no_source_headers "$outside/deps.txt"
grep -q "$include/recordset/recordset.h" "$outside/deps.txt" ||
  fail "the CMake build did not read the installed recordset/recordset.h"
run_example "$outside/read_records"

echo "== read_records with pkg-config: g++ ... \$(pkg-config --cflags --libs kddao)"
outside=$build/outside-pkgconfig
rm -rf "$outside"
mkdir -p "$outside"
# shellcheck disable=SC2046
g++ -std=c++17 "${warnings[@]}" -MD -MF "$outside/read_records.d" -o "$outside/read_records" \
  tools/examples/read_records.cpp $(pkg-config --cflags --libs kddao)
no_source_headers "$outside/read_records.d"
run_example "$outside/read_records"

echo "== the installed library builds and runs from outside the tree (CMake and pkg-config)"
