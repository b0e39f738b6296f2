#!/usr/bin/env bash
# Runs one Wine test: "run.sh exe PROGRAM.exe" runs a Windows test program,
# "run.sh SCRIPT" runs a test script. Exit 77 (skipped) outside a session.
set -uo pipefail
if [ -z "${VXM_WINE_SESSION:-}" ]; then
  echo "skipped: not inside tests/wine/session.sh"
  exit 77
fi
export WINE64=${WINE64:-/usr/lib/wine/wine64} WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
if [ "$1" = exe ]; then
  shift
  [ -f "$1" ] || { echo "missing test program $1 (build the windows-x64 preset)"; exit 1; }
  exec "$WINE64" "$@"
fi
exec bash "$@"
