#!/usr/bin/env bash
# Late-bound calls under Wine: a VBScript walk over 65,535 records reading
# three fields by name through KdDao.KD_Recordset, against the same number of
# property reads on Scripting.Dictionary in the same script run (goal: at most
# 2 x). Builds nothing: it needs the Windows deliverables that
# scripts/build-windows.sh puts in build-win/dist/.
#
#   bench/late_bound_walk.sh [--runs N]      (default 5; medians are printed)
#
# Works in a scratch directory with a Wine prefix of its own, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
if [ "${1:-}" = "--runs" ]; then runs=$2; fi
dll=${KD_DLL:-build-win/dist/KdDao.dll}
if [ ! -f "$dll" ]; then
  echo "$dll is missing: run scripts/build-windows.sh first" >&2
  exit 2
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kd-late-bound-XXXXXX")
export KD_WINEPREFIX=$scratch/prefix
cleanup() {
  WINEPREFIX=$KD_WINEPREFIX wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# The database: 65,535 records of Count (Integer), Total (Long) and Title
# (String), unique IDs 1 to 65,535, written as the file format lays it out.
python3 - "$scratch/walk.pdb" <<'PY'
import struct, sys
count = 65535
records = [struct.pack(">hi", i % 30000, i * 7) + b"Record %d\0" % i for i in range(count)]
header = struct.pack(">32sHHIIIIII4s4sIIH", b"LateBound", 0, 1, 0, 0, 0, 0, 0, 0,
                     b"DATA", b"KdLb", count, 0, count)
offset = len(header) + 8 * count + 2
entries = bytearray()
for i, data in enumerate(records):
    entries += struct.pack(">IB", offset, 0) + (i + 1).to_bytes(3, "big")
    offset += len(data)
with open(sys.argv[1], "wb") as out:
    out.write(header + entries + b"\0\0" + b"".join(records))
PY
cat >"$scratch/walk.kdx" <<'KDX'
<table name="Walk">
  <field><name>UniqueID</name><type>Long</type><synchro/></field>
  <field><name>Count</name><type>Integer</type><synchro/></field>
  <field><name>Total</name><type>Long</type><synchro/></field>
  <field><name>Title</name><type>String</type><synchro/></field>
</table>
KDX

cp "$dll" "$scratch/KdDao.dll"
cmake/wine-run.sh regsvr32 /s "$(windows_path "$scratch/KdDao.dll")"

walks=()
reads=()
for ((run = 1; run <= runs; run++)); do
  line=$(LC_ALL=C cmake/wine-run.sh cscript //nologo "$(windows_path "$PWD/bench/late_bound_walk.vbs")" \
    "$(windows_path "$scratch/walk.pdb")" "$(windows_path "$scratch/walk.kdx")" | tr -d '\r')
  read -r _ records _ walk _ read <<<"$line"
  if [ "$records" != 65535 ]; then
    echo "the walk saw $records records, not 65535: $line" >&2
    exit 1
  fi
  echo "run $run: walk $walk s, dictionary $read s"
  walks+=("$walk")
  reads+=("$read")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
walk=$(median "${walks[@]}")
read=$(median "${reads[@]}")
awk -v w="$walk" -v r="$read" 'BEGIN {
  ratio = w / r
  printf "median walk %.3f s, dictionary %.3f s: ratio %.2f x (goal <= 2) %s\n", w, r, ratio,
    ratio <= 2 ? "met" : "NOT MET"
}'
