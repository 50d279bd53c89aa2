#!/bin/sh
# Runs a cross-compiled Windows program under Wine, in the Wine prefix named by
# KD_WINEPREFIX (the build tree sets it to a prefix of its own). The prefix is
# created on first use; concurrent first uses wait for the one that creates it.
set -eu
: "${WINEDEBUG:=-all}"
export WINEDEBUG
WINEPREFIX=${KD_WINEPREFIX:?set KD_WINEPREFIX to the Wine prefix of the build tree}
export WINEPREFIX
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEDLLOVERRIDES
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# Keep the prefix's server running between the test programs (30 seconds after
# the last one ends): a program that starts while the server of the previous
# one is shutting down can fail to connect. Exit status 2: already running.
wineserver -p30 2>/dev/null || true
exec wine "$@"
