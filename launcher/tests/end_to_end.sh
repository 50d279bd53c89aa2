#!/usr/bin/env bash
# The launcher end to end, under Wine with a display (CTest runs it inside
# xvfb-run -a):
#   end_to_end.sh LAUNCHER TEST-SERVER TEST-CHILD TEST-HELPER WORK-DIR WINE-PREFIX
# The prefix is the test's own: created on first use, and its wineserver
# stopped at the end. Drive D: of the prefix is WORK-DIR/drive-d; the launcher
# starts in WORK-DIR/start, on drive Z:. Each case runs the launcher with the
# test server's settings in the environment and the helper watching beside it,
# then compares what the helper saw (message box text, probe answer), the
# launcher's exit status, what the child recorded and where the host object
# was released. Prints one line per case; exits 1 when any case failed.
set -uo pipefail

launcher=$1 server=$2 child=$3 helper=$4 work=$5
export WINEPREFIX=$6
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The Windows path of a Unix path: drive Z: is the Unix root.
win() { printf 'Z:%s' "$1" | tr / '\\'; }

# A wineserver left from an earlier run may belong to another display.
wineserver -k 2>/dev/null
trap 'wineserver -k 2>/dev/null' EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  # Without a window manager, a managed window takes seconds to close.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi

rm -rf "$work"
mkdir -p "$work/start" "$work/drive-d/Data/Sync"
ln -sfn "$work/drive-d" "$WINEPREFIX/dosdevices/d:"
cd "$work/start" || exit 1
start_dir=$(win "$work/start")
record=$work/record.txt
child_line="\"$(win "$child")\" \"$(win "$record")\""

failures=0
cases=0

# run_case NAME VAR=VALUE...: one run of the launcher, the helper watching.
# Leaves status, cpu (seconds), wall_ms, seen (helper's report), recorded
# (the child's record) and released (server log) for the checks.
run_case() {
  case_name=$1
  shift
  rm -f "$work/stop" "$record" "$work/server.log" "$work/time.txt"
  env "$@" wine "$helper" watch "$(win "$work/stop")" >"$work/seen.txt" 2>/dev/null &
  local watcher=$!
  local started=$(date +%s%N)
  TIMEFORMAT='%U %S'
  { time env "$@" ROZIRAR_TEST_LOG="$(win "$work/server.log")" \
      timeout 60 wine "$launcher" >/dev/null 2>&1; } 2>"$work/time.txt"
  status=$?
  wall_ms=$((($(date +%s%N) - started) / 1000000))
  touch "$work/stop"
  wait "$watcher"
  cpu=$(awk '{ print $1 + $2 }' "$work/time.txt")
  seen=$(cat "$work/seen.txt")
  recorded=$(cat "$record" 2>/dev/null)
  released=$(cat "$work/server.log" 2>/dev/null)
  cases=$((cases + 1))
  case_failed=0
}

fail() {
  echo "FAIL $case_name: $*"
  case_failed=1
}

# expect WHAT EXPECTED ACTUAL
expect() {
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# expect_box TEXT: the launcher showed exactly this message box and exited 1.
expect_box() {
  expect "message box" "box: $1" "$(grep '^box:' <<<"$seen")"
  expect "exit status" 1 "$status"
  [ -z "$recorded" ] || fail "a program was started: $recorded"
}

finish_case() {
  if [ "$case_failed" -eq 0 ]; then
    echo "ok   $case_name"
  else
    failures=$((failures + 1))
  fi
}

# Program identity.
case_name="version resource and the form Form1"
cases=$((cases + 1))
case_failed=0
expect "resources" "ProductName: Tarnwick Rozirar
FileVersion: 1.00
ProductVersion: 1.00
dialog FORM1: present" "$(wine "$helper" resources "$(win "$launcher")" 2>/dev/null)"
finish_case

# No class registered: the first creation fails. Wine's system messages have
# no text for CO_E_CLASSSTRING, so the description is empty.
wine regsvr32 /u /s "$(win "$server")" >/dev/null 2>&1
run_case "missing class"
expect_box "Error #-2147221005 ()."
finish_case

wine regsvr32 /s "$(win "$server")" >/dev/null 2>&1 || {
  echo "FAIL: regsvr32 could not register $(win "$server")"
  exit 1
}

run_case "a 3-second child on drive D:" \
  ROZIRAR_TEST_DIRECTORY='D:\Data\Sync' ROZIRAR_TEST_COMMAND_LINE="$child_line 3000 0"
expect "exit status" 0 "$status"
expect "helper" "box: none
probe: answered" "$seen"
expect "child's record" "directory D:\\Data\\Sync
command line $child_line 3000 0
ended" "$recorded"
expect "host released" "released in $start_dir" "$released"
[ "$wall_ms" -ge 3000 ] || fail "the launcher ended after $wall_ms ms, before its child"
awk -v cpu="$cpu" 'BEGIN { exit !(cpu < 0.3) }' ||
  fail "the launcher used $cpu s of processor time (limit 0.3 s)"
finish_case
echo "     (launcher: $cpu s processor time in $wall_ms ms)"

run_case "a child that ends at once" \
  ROZIRAR_TEST_DIRECTORY='D:\Data\Sync' ROZIRAR_TEST_COMMAND_LINE="$child_line 0 0"
expect "exit status" 0 "$status"
expect "message box" "box: none" "$(grep '^box:' <<<"$seen")"
expect "child's record" "ended" "$(tail -n 1 <<<"$recorded")"
expect "host released" "released in $start_dir" "$released"
finish_case

run_case "a child that exits with status 259" \
  ROZIRAR_TEST_DIRECTORY='D:\Data\Sync' ROZIRAR_TEST_COMMAND_LINE="$child_line 500 259"
expect "exit status" 0 "$status"
expect "message box" "box: none" "$(grep '^box:' <<<"$seen")"
expect "child's record" "ended" "$(tail -n 1 <<<"$recorded")"
finish_case

run_case "a failing call with its own description (EXCEPINFO)" \
  ROZIRAR_TEST_FAIL=GetSettings ROZIRAR_TEST_FAIL_CODE=80040201 \
  ROZIRAR_TEST_FAIL_DESCRIPTION='Sync profile is locked'
expect_box "Error #-2147220991 (Sync profile is locked)."
finish_case

run_case "a failing call with its own description (error information)" \
  ROZIRAR_TEST_FAIL=WorkingDirectory ROZIRAR_TEST_FAIL_CODE=80004005 \
  ROZIRAR_TEST_FAIL_VIA=errorinfo ROZIRAR_TEST_FAIL_DESCRIPTION='Settings store unavailable'
expect_box "Error #-2147467259 (Settings store unavailable)."
finish_case

run_case "a failing call without a description" \
  ROZIRAR_TEST_FAIL=Value ROZIRAR_TEST_FAIL_CODE=80070005
expect_box "Error #-2147024891 (Access denied.)."
finish_case

# Drive D: is current when the directory change fails, and stays so: the
# error path changes nothing back.
run_case "a bad working directory" \
  ROZIRAR_TEST_DIRECTORY='D:\Data\Missing' ROZIRAR_TEST_COMMAND_LINE="$child_line 0 0"
expect_box "Error #2 (File not found.)."
expect "host released" "released in D:\\" "$released"
finish_case

run_case "a command line that names no program" \
  ROZIRAR_TEST_DIRECTORY='D:\Data\Sync' ROZIRAR_TEST_COMMAND_LINE='no-such-program.exe --now'
expect_box "Error #2 (Unable to start program no-such-program.exe --now)."
finish_case

echo "$cases cases, $failures failed"
[ "$failures" -eq 0 ]
