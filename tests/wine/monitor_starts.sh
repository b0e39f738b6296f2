#!/usr/bin/env bash
# The staged x64 monitor starts under Wine and ends with exit code 0.
set -euo pipefail
exe=$VXM_WIN_BUILD/stage/VXMMON.EXE
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
timeout 60 "$WINE64" "$exe"
echo "VXMMON.EXE exited with 0"
