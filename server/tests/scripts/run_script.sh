#!/bin/sh
# run_script.sh SCRIPT EXPECTED_OUTPUT EXPECTED_READ_BACK WORK_DIR [ARGUMENT...]
#
# Runs one client script (.vbs or .js) with cscript under Wine against the
# registered KdDao.dll, with the Windows path of WORK_DIR and the ARGUMENTs as
# its arguments. Passes when
#   1. the script exits with 0,
#   2. its standard output is exactly EXPECTED_OUTPUT, and
#   3. what Palm::PDB reads from the databases left in WORK_DIR (read_pdb.pl)
#      is exactly EXPECTED_READ_BACK.
# A difference is shown as a unified diff (expected, then actual).
#
# Environment: KD_WINE_RUN, the program that runs a Windows program in the
# build tree's Wine prefix (cmake/wine-run.sh, which needs KD_WINEPREFIX);
# KD_PERL, the Perl that has Palm::PDB, or empty when there is none: then the
# test stops after step 2 with exit status 77, which CTest reports as skipped.
set -u

if [ $# -lt 4 ]; then
  echo "usage: $0 SCRIPT EXPECTED_OUTPUT EXPECTED_READ_BACK WORK_DIR [ARGUMENT...]" >&2
  exit 2
fi
script=$1
expected_output=$2
expected_read_back=$3
work_dir=$4
shift 4
: "${KD_WINE_RUN:?set KD_WINE_RUN to the program that runs Windows programs under Wine}"
here=$(cd "$(dirname "$0")" && pwd)

# Drive Z: is the Unix root under Wine.
windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

# Nothing of an earlier run may pass the checks.
rm -rf "$work_dir"
mkdir -p "$work_dir" || exit 1
work_dir=$(cd "$work_dir" && pwd)

# The scripts print dates and numbers, whose text follows the locale; Wine
# takes it from the environment.
LC_ALL=C
export LC_ALL

failed=0

# A VBScript of this folder runs after the checks they all share, put in
# front of it here since Wine's script host includes no file.
run_script=$script
case $script in
  "$here"/*.vbs)
    run_script=$work_dir/$(basename "$script")
    cat "$here/checks.vbs" "$script" >"$run_script" || exit 1
    ;;
esac

# 1. The script. Wine's script engines end a script that raises an error
# nobody handles with status 0 and no message, so the scripts handle every
# error themselves and report failures through their exit status; a script
# that stops early still fails the comparison of its output below.
timeout -k 10 120 "$KD_WINE_RUN" cscript //nologo "$(windows_path "$run_script")" \
  "$(windows_path "$work_dir")" "$@" >"$work_dir/output.raw" 2>"$work_dir/stderr.txt"
status=$?
tr -d '\r' <"$work_dir/output.raw" >"$work_dir/output.txt"
if [ "$status" -eq 124 ]; then
  echo "FAIL: $(basename "$script") did not end within 120 seconds"
  failed=1
elif [ "$status" -ne 0 ]; then
  echo "FAIL: $(basename "$script") exited with status $status"
  failed=1
fi
if [ -s "$work_dir/stderr.txt" ]; then
  echo "standard error of the script:"
  cat "$work_dir/stderr.txt"
fi

# 2. Its output, line for line.
if diff -u "$expected_output" "$work_dir/output.txt" >"$work_dir/output.diff"; then
  echo "output as expected ($(wc -l <"$work_dir/output.txt") lines)"
else
  echo "FAIL: the output differs from $(basename "$expected_output"):"
  cat "$work_dir/output.diff"
  failed=1
fi

# 3. The databases it wrote, as Palm::PDB reads them.
if [ -z "${KD_PERL:-}" ]; then
  echo "skipped: reading the databases back needs Perl's Palm::PDB (Debian package libpalm-perl)"
  [ "$failed" -eq 0 ] && exit 77
  exit 1
fi
"$KD_PERL" "$here/read_pdb.pl" "$work_dir" >"$work_dir/read_back.txt"
if [ $? -ne 0 ]; then
  echo "FAIL: read_pdb.pl failed"
  failed=1
fi
if diff -u "$expected_read_back" "$work_dir/read_back.txt" >"$work_dir/read_back.diff"; then
  echo "Palm::PDB reads the databases as expected"
else
  echo "FAIL: Palm::PDB reads the databases otherwise than $(basename "$expected_read_back"):"
  cat "$work_dir/read_back.diff"
  failed=1
fi
exit "$failed"
