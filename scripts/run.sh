#!/usr/bin/env bash
# Builds the x64 monitor and runs it under wine64, on an Xvfb display when
# there is none. Ends when the monitor ends (tray menu "Exit").
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64
export WINEDLLOVERRIDES="mscoree,mshtml="
exe=build/windows-x64/stage/VXMMON.EXE
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" /usr/lib/wine/wine64 "$exe"
fi
exec /usr/lib/wine/wine64 "$exe"
