#!/usr/bin/env bash
# Builds the Windows deliverables with mingw-w64 into build-win/dist/:
#   KdDao.dll               the in-process automation server (type library
#                           embedded; register with regsvr32)
#   KdDao.tlb               the same type library as a file, for tools that
#                           want one beside the server
#   KdDao.idl, KdDao_h.h,   the interfaces and their identities, for C++
#   KdDao_i.c               callers that bind early
#   Tarnwick Rozirar.exe    the synchronisation launcher
# Both programs link their runtime statically: they need only the system's
# own libraries. Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build-win
dist=$build/dist
cmake -S . -B "$build" -G Ninja -DKD_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKD_BUILD_BENCHMARKS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build" --target kddao tarnwick_rozirar

rm -rf "$dist"
mkdir -p "$dist"
strip=x86_64-w64-mingw32-strip
"$strip" --strip-all -o "$dist/KdDao.dll" "$build/server/KdDao.dll"
"$strip" --strip-all -o "$dist/Tarnwick Rozirar.exe" "$build/launcher/Tarnwick Rozirar.exe"
cp "$build/server/generated/server/KdDao.tlb" "$build/server/generated/server/KdDao_h.h" \
  "$build/server/generated/server/KdDao_i.c" server/KdDao.idl "$dist/"

echo "Windows deliverables in $dist:"
ls -l "$dist"
