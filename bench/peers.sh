#!/usr/bin/env bash
# kdpdb side by side with its peers: Palm::PDB (Debian libpalm-perl) for
# loading a database, netpbm (pnmremap, pnmtopalm) for making device bitmaps,
# and `cat FILE > /dev/null` as the floor of reading a file. Whole processes,
# wall-clock time, each side alternating with the others, medians of N runs.
#
# Builds nothing: it runs an existing kdpdb (build/tools/kdpdb/kdpdb, made by
# `cmake --build build --target kdpdb`; --kdpdb PATH or KDPDB=PATH for
# another). It generates its files once into a scratch directory and removes
# them at the end. It is a measurement, not a test: it is not part of the test
# suite, and it exits 0 whether or not a goal is met (1 when a tool is missing,
# fails, or gives a wrong result). See docs/benchmarks.md, "Side by side with
# the peers".
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: bench/peers.sh [--runs N] [--kdpdb PATH] [--side N] [--dir PARENT] [--install-missing] [--keep]

  --runs N            timed runs of every command (default 7); each round runs
                      the commands of a row once each, in turn, so drift on a
                      shared machine hits every side
  --kdpdb PATH        the kdpdb to measure (default: $KDPDB, else
                      build/tools/kdpdb/kdpdb of this tree)
  --side N            the pictures are N x N pixels (default 1000)
  --dir PARENT        where the scratch directory goes (default $TMPDIR, else /tmp)
  --install-missing   install missing Debian packages with apt-get (otherwise
                      the script names them and stops)
  --keep              keep the scratch directory
EOF
}

here="$(cd "$(dirname "$0")/.." && pwd)"
runs=7
side=1000
kdpdb="${KDPDB:-$here/build/tools/kdpdb/kdpdb}"
parent="${TMPDIR:-/tmp}"
install_missing=0
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --kdpdb) kdpdb="$2"; shift 2 ;;
    --side) side="$2"; shift 2 ;;
    --dir) parent="$2"; shift 2 ;;
    --install-missing) install_missing=1; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "peers.sh: unknown option '$1'" >&2; usage >&2; exit 1 ;;
  esac
done
if ! [[ "$runs" =~ ^[0-9]+$ ]] || [ "$runs" -lt 1 ]; then
  echo "peers.sh: --runs takes a whole number from 1" >&2
  exit 1
fi
if ! [[ "$side" =~ ^[0-9]+$ ]] || [ "$side" -lt 16 ] || [ "$side" -gt 4096 ]; then
  echo "peers.sh: --side takes a whole number from 16 to 4096" >&2
  exit 1
fi

if [ ! -x "$kdpdb" ]; then
  echo "peers.sh: no kdpdb at $kdpdb" >&2
  echo "  build it first: cmake --build build --target kdpdb (or pass --kdpdb PATH)" >&2
  exit 1
fi
kdpdb="$(cd "$(dirname "$kdpdb")" && pwd)/$(basename "$kdpdb")"

# --- The peers: Debian packages ------------------------------------------------
missing=()
perl -MPalm::PDB -e 1 2>/dev/null || missing+=(libpalm-perl)
for tool in pnmremap pnmtopalm ppmtopgm; do
  if ! command -v "$tool" >/dev/null; then missing+=(netpbm); break; fi
done
[ -x /usr/bin/time ] || missing+=(time)
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$install_missing" -eq 1 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
  elif [ ${#missing[@]} -eq 1 ] && [ "${missing[0]}" = hyperfine ]; then
    echo "peers.sh: hyperfine is not installed; timing with date +%s%N instead" >&2
  else
    echo "peers.sh: missing Debian packages: ${missing[*]}" >&2
    echo "  install them (apt-get install ${missing[*]}) or run with --install-missing" >&2
    exit 1
  fi
fi
use_hyperfine=0
command -v hyperfine >/dev/null && use_hyperfine=1

work="$(mktemp -d "$parent/kd-peers.XXXXXX")"
cleanup() { if [ "$keep" -eq 0 ]; then rm -rf "$work"; else echo "kept $work"; fi; }
trap cleanup EXIT
cd "$work"

# --- The files, generated once ---------------------------------------------------
# big.pdb: 65,535 records of 100 pseudo-random bytes, unique IDs 1 to 65,535
# (7,077,860 bytes); tiny.pdb: one record of 100 bytes (the memory baseline).
# photo.bmp / photo.ppm: side x side (--side), 24 bits: smooth gradients of each
# channel, plus noise (the same on the three channels, and a little of each
# channel's own), as a photograph has. flat.bmp / flat.ppm: the same gradients
# with 16 levels a channel and no noise, few colours (netpbm's best case: it
# caches the match of every colour it has seen). palm8.ppm: the 231 distinct
# colours of the 8-bit device table (bitmap/palettes.cpp's rule, here in
# Python); grey1/2/4.pgm: the greys of the 1-, 2- and 4-bit device tables.
python3 - "$side" <<'EOF'
import math, random, struct, sys

def pdb(path, count, size):
    rnd = random.Random(7)
    header = bytearray(78)
    header[0:7] = b"peers\0\0"
    struct.pack_into(">HHIIIIII4s4sIIH", header, 32, 0, 1, 0xB0000000, 0xB0000000, 0, 0, 0, 0,
                     b"DATA", b"KdPr", 0, 0, count)
    data_start = 78 + 8 * count + 2
    with open(path, "wb") as f:
        f.write(header)
        for i in range(count):
            f.write(struct.pack(">IB", data_start + i * size, 0) + (i + 1).to_bytes(3, "big"))
        f.write(b"\0\0")
        for i in range(count):
            f.write(rnd.randbytes(size))

def gradient(fx, fy):
    r = 128 + 90 * math.sin(6.0 * fx + 2.0 * fy) + 30 * math.cos(11.0 * fy)
    g = 128 + 80 * math.sin(4.0 * fy - 3.0 * fx * fy) + 40 * math.sin(9.0 * fx)
    b = 128 + 100 * math.cos(5.0 * (fx - fy))
    return r, g, b

def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)

def images(w, h):
    rnd = random.Random(20240611)
    photo, flat = bytearray(3 * w * h), bytearray(3 * w * h)
    i = 0
    for y in range(h):
        for x in range(w):
            rgb = gradient(x / w, y / h)
            n = rnd.randint(-6, 6)
            for c in range(3):
                photo[i + c] = clamp(rgb[c] + n + rnd.randint(-2, 2))
                flat[i + c] = clamp(rgb[c]) // 17 * 17
            i += 3
    return photo, flat

def write_ppm(path, w, h, rgb):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(rgb)

def write_bmp(path, w, h, rgb):  # 24 bits, bottom-up, 72 dpi
    stride = (3 * w + 3) & ~3
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, stride * h, 2835, 2835, 0, 0))
        pad = bytes(stride - 3 * w)
        for y in reversed(range(h)):
            row = rgb[3 * w * y:3 * w * (y + 1)]
            bgr = bytearray(3 * w)
            bgr[0::3], bgr[1::3], bgr[2::3] = row[2::3], row[1::3], row[0::3]
            f.write(bgr + pad)

def palettes():
    levels = [0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00]
    greys = [0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE]
    named = {225: (0xC0,) * 3, 226: (0x80, 0, 0), 227: (0x80, 0, 0x80), 228: (0, 0x80, 0),
             229: (0, 0x80, 0x80)}
    colours = []
    for i in range(256):
        if i <= 214:
            half, j = divmod(i, 108)[0], i % 108
            c = (levels[j // 18], levels[j % 6], levels[3 * half + (j // 6) % 3])
        elif i <= 224:
            c = (greys[i - 215],) * 3
        else:
            c = named.get(i, (0, 0, 0))
        if c not in colours:
            colours.append(c)
    write_ppm("palm8.ppm", len(colours), 1, bytes(v for c in colours for v in c))
    for depth, levels in ((1, [255, 0]), (2, [255, 170, 85, 0]), (4, [255 - 17 * i for i in range(16)])):
        with open("grey%d.pgm" % depth, "wb") as f:
            f.write(b"P5\n%d 1\n255\n" % len(levels) + bytes(levels))

pdb("big.pdb", 65535, 100)
pdb("tiny.pdb", 1, 100)
side = int(sys.argv[1])
photo, flat = images(side, side)
for name, rgb in (("photo", photo), ("flat", flat)):
    write_ppm(name + ".ppm", side, side, rgb)
    write_bmp(name + ".bmp", side, side, rgb)
    colours = len({bytes(rgb[i:i + 3]) for i in range(0, len(rgb), 3)})
    open(name + ".colours", "w").write("%d\n" % colours)
palettes()
EOF
ppmtopgm photo.ppm > photo.pgm

# The files are what they claim: kdpdb and Palm::PDB both read 65,535 records.
file_size=$(stat -c %s big.pdb)
"$kdpdb" info big.pdb > info.txt || { echo "peers.sh: kdpdb info big.pdb failed" >&2; exit 1; }
grep -q 65535 info.txt || { echo "peers.sh: kdpdb info does not show 65535 records:" >&2; cat info.txt >&2; exit 1; }
records=$(perl -MPalm::PDB -MPalm::Raw -e 'my $p = Palm::PDB->new; $p->Load($ARGV[0]); print scalar @{$p->{records}}' big.pdb)
[ "$records" = 65535 ] || { echo "peers.sh: Palm::PDB loads $records records, not 65535" >&2; exit 1; }

if ! "$kdpdb" import-bitmap --depth 8 --out k8.bin photo.bmp 2>import.err; then
  echo "peers.sh: this kdpdb refuses the $side x $side picture: $(cat import.err)" >&2
  echo "  (pass a smaller --side)" >&2
  exit 1
fi

# --- Timing ------------------------------------------------------------------------
# Each command is a plain argument list (hyperfine -N: no shell); the netpbm
# pipelines run under `sh -c`, which they need for their pipe. Every command
# writes its picture to a file in the scratch directory; kdpdb info's text
# goes to /dev/null (hyperfine discards standard output; the fallback
# redirects it).
elapsed_ms() {  # prints one run's wall time in ms
  if [ "$use_hyperfine" -eq 1 ]; then
    hyperfine -N --runs 1 --style none --export-json one.json -- "$(printf '%q ' "$@")" \
      >/dev/null 2>hyperfine.err || { cat hyperfine.err >&2; return 1; }
    python3 -c 'import json; print(json.load(open("one.json"))["results"][0]["times"][0] * 1e3)'
  else
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null
    t1=$(date +%s%N)
    python3 -c "print(($t1 - $t0) / 1e6)"
  fi
}

# row KEY TITLE -- LABEL1 CMD1... -- LABEL2 CMD2... [-- LABEL3 CMD3...]
# Runs the commands alternately (one warm-up round, then $runs rounds, the
# order rotating each round), prints each median with its ratio to the first
# command's median, and keeps the medians as KEY.0, KEY.1, ... for the summary.
medians="$work/medians.txt"
: > "$medians"
row() {
  local key="$1" title="$2"
  shift 3  # KEY TITLE --
  local -a labels=() commands=()
  local current
  while [ $# -gt 0 ]; do
    labels+=("$1"); shift
    current=""
    while [ $# -gt 0 ] && [ "$1" != -- ]; do current+="$(printf '%q ' "$1")"; shift; done
    commands+=("$current")
    [ $# -gt 0 ] && shift
  done
  local n=${#commands[@]} i k round t
  local -a times=()
  for ((i = 0; i < n; ++i)); do times[i]=""; done
  for ((round = 0; round <= runs; ++round)); do
    for ((k = 0; k < n; ++k)); do
      i=$(((k + round) % n))
      t=$(eval "elapsed_ms ${commands[i]}") || { echo "peers.sh: failed: ${commands[i]}" >&2; exit 1; }
      [ "$round" -eq 0 ] || times[i]+="$t "
    done
  done
  printf '%s\n' "$title"
  for ((i = 0; i < n; ++i)); do
    python3 - "${labels[i]}" "${times[0]}" "${times[i]}" "$key.$i" "$medians" <<'EOF'
import statistics, sys
label, first, mine, key, medians = sys.argv[1:6]
m0 = statistics.median(map(float, first.split()))
m = statistics.median(map(float, mine.split()))
ratio = "" if key.endswith(".0") else "  %8.2f x the first" % (m / m0)
print("  %-60s %9.1f ms [best %9.1f]%s" % (label, m, min(map(float, mine.split())), ratio))
open(medians, "a").write("%s %r\n" % (key, m))
EOF
  done
}

echo "peers.sh  $(date '+%Y-%m-%d %H:%M')  $(uname -sr), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "kdpdb: $kdpdb"
if [ "$use_hyperfine" -eq 1 ]; then timer="hyperfine -N, one run per call"; else timer="date +%s%N"; fi
echo "timing: $timer; $runs runs after one warm-up round, the sides alternating; medians [best]"
echo "database: big.pdb, 65535 records x 100 bytes, $file_size bytes"
echo "images: $side x $side, 24 bits; photo: $(cat photo.colours) distinct colours, flat: $(cat flat.colours)"
echo

row info "load a database: kdpdb info (a whole load; the header printed) / Palm::PDB Load / cat" \
  -- "kdpdb info big.pdb" "$kdpdb" info big.pdb \
  -- "perl: Palm::PDB->new, ->Load(big.pdb)" \
     perl -MPalm::PDB -MPalm::Raw -e 'my $p = Palm::PDB->new; $p->Load($ARGV[0])' big.pdb \
  -- "cat big.pdb > /dev/null" cat big.pdb

for image in photo flat; do
  row "d8$image" "depth 8, $image image: kdpdb import-bitmap / netpbm pnmremap (device colours) | pnmtopalm" \
    -- "kdpdb import-bitmap --depth 8 $image.bmp" "$kdpdb" import-bitmap --depth 8 --out k8.bin "$image.bmp" \
    -- "pnmremap -mapfile=palm8.ppm | pnmtopalm -depth 8" \
       sh -c "pnmremap -quiet -mapfile=palm8.ppm $image.ppm | pnmtopalm -depth 8 > n8.palm"
done
for depth in 1 2 4; do
  row "d$depth" "depth $depth, photo image: kdpdb import-bitmap (nearest grey to each colour) / netpbm ppmtopgm | pnmremap (greys) | pnmtopalm" \
    -- "kdpdb import-bitmap --depth $depth photo.bmp" "$kdpdb" import-bitmap --depth "$depth" --out "k$depth.bin" photo.bmp \
    -- "ppmtopgm | pnmremap -mapfile=grey$depth.pgm | pnmtopalm -depth $depth" \
       sh -c "ppmtopgm photo.ppm | pnmremap -quiet -mapfile=grey$depth.pgm | pnmtopalm -depth $depth > n$depth.palm"
done
row d16 "depth 16, photo image: kdpdb import-bitmap / netpbm pnmtopalm -depth 16" \
  -- "kdpdb import-bitmap --depth 16 photo.bmp" "$kdpdb" import-bitmap --depth 16 --out k16.bin photo.bmp \
  -- "pnmtopalm -depth 16 photo.ppm" sh -c "pnmtopalm -depth 16 photo.ppm > n16.palm"

# Both sides made device bitmaps of the expected size: a 16-byte header (netpbm
# adds 8 bytes of colour-table header at depth 16), then the rows.
for depth in 1 2 4 8 16; do
  expected=$((16 + side * ((side * depth + 15) / 16 * 2)))
  extra=0
  [ "$depth" -ne 16 ] || extra=8
  for pair in "k$depth.bin 0" "n$depth.palm $extra"; do
    set -- $pair
    size=$(stat -c %s "$1")
    [ "$size" -eq $((expected + $2)) ] || {
      echo "peers.sh: $1 has $size bytes, not $((expected + $2))" >&2
      exit 1
    }
  done
done

# --- Peak memory -----------------------------------------------------------------------
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
echo
echo "peak memory of kdpdb info (/usr/bin/time -f %M; medians of $runs)"
big=() tiny=()
for ((round = 0; round < runs; ++round)); do
  tiny+=("$(peak_kb "$kdpdb" info tiny.pdb)")
  big+=("$(peak_kb "$kdpdb" info big.pdb)")
done
python3 - "$file_size" "${tiny[*]}" "${big[*]}" "$medians" <<'EOF'
import statistics, sys
size = int(sys.argv[1])
tiny = statistics.median(map(int, sys.argv[2].split()))
big = statistics.median(map(int, sys.argv[3].split()))
above = (big - tiny) * 1024
print("  kdpdb info tiny.pdb (the baseline)  %8.0f KiB" % tiny)
print("  kdpdb info big.pdb                  %8.0f KiB: %.2f MiB above the baseline, %.2f x the file (%.2f MiB)"
      % (big, above / 2**20, above / size, size / 2**20))
open(sys.argv[4], "a").write("memory %r\n" % (above / size))
EOF

# --- Summary: the goals ------------------------------------------------------------------
echo
echo "summary (ratios of the medians above)"
python3 - "$medians" <<'EOF'
import sys
m = dict((k, float(v)) for k, v in (line.split() for line in open(sys.argv[1])))
def goal(text, value, target, met):
    print("  %-66s %7.2f  goal %-6s %s" % (text, value, target, "met" if met else "NOT met"))
speed = m["info.1"] / m["info.0"]
goal("kdpdb info: times as fast as Palm::PDB's load", speed, ">= 50", speed >= 50)
floor = m["info.0"] / m["info.2"]
goal("kdpdb info: times the time of cat", floor, "<= 2", floor <= 2)
for key, text in (("d8photo", "depth 8, photo"), ("d1", "depth 1, photo"), ("d2", "depth 2, photo"),
                  ("d4", "depth 4, photo")):
    speed = m[key + ".1"] / m[key + ".0"]
    goal("import-bitmap %s: times as fast as netpbm" % text, speed, ">= 3", speed >= 3)
for key, text in (("d8flat", "depth 8, flat (netpbm's best case)"), ("d16", "depth 16, photo")):
    print("  %-66s %7.2f  (no goal)" % ("import-bitmap %s: times as fast as netpbm" % text,
                                        m[key + ".1"] / m[key + ".0"]))
goal("kdpdb info: peak memory above the baseline, x the file size", m["memory"], "<= 1.5",
     m["memory"] <= 1.5)
EOF
