#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, as CTest does for every Windows test:
#   scripts/wine-run.sh --prefix DIR PROGRAM.exe [ARGS...]
# The Wine prefix DIR is made on first use (wineboot, about ten seconds; one process at a time
# makes it). Wine's own messages are silenced and the program's CRLF line ends become LF, so
# that GoogleTest's test list reads as on Linux. The exit status is the program's.
# scripts/test-windows.sh keeps a wineserver running meanwhile, so each start takes a moment only.
set -euo pipefail
if [ "${1:-}" != "--prefix" ] || [ $# -lt 3 ]; then
  echo "usage: $0 --prefix DIR PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
export WINEPREFIX="$2"
shift 2
export WINEDEBUG=-all
ready="$WINEPREFIX/.kalvo-prefix-ready"
if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$ready" ]; then
      # Closes the lock for wineboot: the background processes it starts outlive it.
      wineboot -i >/dev/null 2>&1 </dev/null 9>&-
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# Wine's background processes (services, device drivers) start with the first program and
# inherit its descriptors: given CTest's pipes they would keep them open and CTest would wait for
# them. So the program writes into files, which are passed on when it has finished.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
wine "$@" >"$out" 2>"$err" </dev/null || status=$?
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
exit "$status"
