#!/usr/bin/env bash
# The main job on the bundled sample, from a fresh clone: installs what is
# missing, builds kdpdb in the native tree (build/), creates a database of the
# sample table (samples/sample.kdx) with three records, one of them holding a
# picture, lists it as a table and as JSON, and saves the picture as a PNG file.
# Everything it writes goes to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== building kdpdb in build/"
cmake -S . -B build -G Ninja -DKD_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kdpdb >/dev/null

kdpdb=build/tools/kdpdb/kdpdb
kdx=samples/sample.kdx
out=build/demo
mkdir -p "$out"

# Shows a kdpdb command line (arguments with spaces in quotes), then runs it.
run() {
  local argument shown=()
  for argument in "$@"; do
    if [[ $argument =~ [^A-Za-z0-9_./=@:+-] ]]; then
      shown+=("'$argument'")
    else
      shown+=("$argument")
    fi
  done
  echo "\$ kdpdb ${shown[*]}"
  "$kdpdb" "$@"
}

echo
echo "== the sample's picture, drawn by samples/make-picture.sh, as a device bitmap"
samples/make-picture.sh "$out/landscape.bmp"
run import-bitmap "$out/landscape.bmp" --depth 8 --out "$out/landscape.raw"
printf 'Packed lunch: bread, cheese, an apple.' > "$out/notes.txt"

echo
echo "== a new database and three records"
run create "$out/sample.pdb" --name "KdDao Sample" --type DATA --creator KdSm --force
added=$(run add "$out/sample.pdb" --kdx "$kdx" Title="Hike to the lake" Category=1 \
  Level=3 Done=false Count=12 Total=4200 Ratio=0.75 Amount=18.5 Due=2024-05-01T08:30 \
  Picture=@"$out/landscape.raw" Notes=@"$out/notes.txt")
echo "$added"
picture_uid=$(tail -n 1 <<<"$added")
run add "$out/sample.pdb" --kdx "$kdx" Title="Buy batteries" Category=2 Level=1 Done=true \
  Count=-4 Total=-250 Ratio=0.5 Amount=-19.99 Due=2024-06-15
run add "$out/sample.pdb" --kdx "$kdx" Title="Call Ada" Done=true Total=7 Ratio=1.25 \
  Due=2024-12-24T18:00:00

echo
echo "== the database"
run info "$out/sample.pdb"

echo
echo "== its records as a table"
run list "$out/sample.pdb" --kdx "$kdx"

echo
echo "== its records as JSON"
run list "$out/sample.pdb" --kdx "$kdx" --json

echo
echo "== the picture of record $picture_uid as a PNG file"
run bitmap "$out/sample.pdb" --kdx "$kdx" --uid "$picture_uid" --field Picture \
  --out "$out/picture.png"
echo "Picture written to $(cd "$out" && pwd)/picture.png"
