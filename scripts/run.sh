#!/usr/bin/env bash
# Builds the x64 monitor and runs it under wine64 (on an invisible Xvfb
# display when there is no DISPLAY), in the Wine prefix $WINEPREFIX (default
# ~/.wine), with a CJK font linked so that its Chinese texts show. Ends when
# the monitor ends.
#   scripts/run.sh            the monitor, as the installer lays it out
#   scripts/run.sh --standin  its test build, whose mouse is a stand-in device:
#                             each line typed here (hex bytes) is one input report
set -euo pipefail
cd "$(dirname "$0")/.."
standin=0
[ "${1:-}" = --standin ] && standin=1
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64
[ $standin = 0 ] || cmake --build build/windows-x64 --target vxm_wine_test_programs >/dev/null

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no DISPLAY, so on an invisible Xvfb display: nothing to see, Ctrl+C ends it"
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi
WINE64=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
source scripts/wine_cjk_font.sh
[ -f "$WINEPREFIX/system.reg" ] || "$WINE64" wineboot -i >/dev/null 2>&1
link_cjk_font "$WINE64" || echo "run: the CJK font link failed; Chinese texts show as boxes"
"$WINESERVER" -w

folder=$PWD/build/windows-x64/stage
exe=VXMMON.EXE
if [ $standin = 1 ]; then
  # A copy of the installation folder with the test build in it.
  folder=$WINEPREFIX/drive_c/vxmmon-standin
  mkdir -p "$folder"
  cp -r build/windows-x64/stage/. build/windows-x64/tests-bin/VXMMON_STANDIN.EXE "$folder/"
  exe=VXMMON_STANDIN.EXE
fi
cat <<EOF
run: the monitor runs under Wine
  prefix       $WINEPREFIX
  folder       $folder ($(winepath -w "$folder"))
  tray icon    in the window "Wine System Tray" (at the top left of the screen when
               no desktop panel takes it); a right click on it opens the menu
  to end it    the tray menu's "Exit"$([ $standin = 1 ] && echo ", or Ctrl+D here" || echo "; or Ctrl+C here (no orderly ending)")
EOF
[ $standin = 1 ] || exec "$WINE64" "$folder/$exe"

# The stand-in mouse serves the named pipe; the monitor's debugger output
# (what it did with each report) is printed here. At the end the monitor is
# asked to end as the installer asks it.
bin=$PWD/build/windows-x64/tests-bin
work=$(mktemp -d)
name=$(sed -n 's/.*kEndRequestName\[\] = L"\([^"]*\)".*/\1/p' win/monitor/end_request.h)
check=0x$(sed -n 's/.*kEndRequestCheck = 0x\([0-9A-Fa-f]*\);.*/\1/p' win/monitor/end_request.h)
finish() {
  "$WINE64" "$bin/probe.exe" send-registered TVXMMONMAIN "$name" "$check" 0 >/dev/null 2>&1
  "$WINE64" "$bin/probe.exe" wait-gone TVXMMONMAIN 15000 >/dev/null 2>&1
  exec 7>&-
  kill $(jobs -p) 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
mkfifo "$work/device.in"
: >"$work/device.out"
: >"$work/monitor.log"
"$WINE64" "$bin/probe.exe" device '\\.\pipe\vxm-mouse' <"$work/device.in" >"$work/device.out" 2>/dev/null &
exec 7>"$work/device.in"
sleep 1  # the pipe is there before the monitor looks for its mouse
VXM_STANDIN_PIPE='\\.\pipe\vxm-mouse' "$WINE64" "$bin/probe.exe" debug "$(winepath -w "$work/monitor.log")" \
  "$(winepath -w "$folder/$exe")" &
tail -q -f "$work/device.out" "$work/monitor.log" &
cat <<'EOF'
  the mouse    a stand-in behind the pipe \\.\pipe\vxm-mouse: once it says "connected"
               (the monitor opened it), type one report a line, e.g.
                 07 00 04 00 00 00 00 00   a press of button 10 (its function in the current profile)
                 08 01 03 00 00 00 00 00   the mouse switched to profile 3
                 08 02 2A 00 00 00 00 00   a device value (0x2A) for the configuration application
                 unplug                    the mouse goes away
EOF
while IFS= read -r line; do echo "$line" >&7; done
