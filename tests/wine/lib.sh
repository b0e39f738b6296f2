# Shared helpers of the end-to-end scripts (sourced).
set -euo pipefail
BIN=$VXM_WIN_BUILD/tests-bin
PROBE() { "$WINE64" "$BIN/probe.exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "ok: $*"; }
# A private copy of the staged installation folder.
new_install() {
  local dir
  dir=$(mktemp -d "$VXM_WINE_SESSION/install.XXXXXX")
  cp -r "$VXM_WIN_BUILD/stage/." "$dir/"
  echo "$dir"
}
now_ms() { date +%s%3N; }
# Whatever a test leaves running (a monitor, a stand-in) ends with it, so the
# next test starts without a monitor holding the single-instance mutex.
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
# Tests that read the profile records start from an empty registry key.
fresh_registry() {
  "$WINE64" reg delete 'HKCU\software\software\zrngmmouse' /f >/dev/null 2>&1 || true
}
# Opens the tray menu by a right click on the first icon of Wine's system
# tray window, as a user does; returns once the menu is up.
open_tray_menu() {
  local tray
  tray=$(xdotool search --name "Wine System Tray" | head -1)
  [ -n "$tray" ] || fail "no Wine System Tray window"
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  xdotool mousemove --sync $((X + 12)) $((Y + 12)) click 3
  PROBE wait-window '#32768' 10000 || fail "the tray menu did not open"
}
# Opens the tray menu, saves a screenshot, closes it.
tray_menu_screenshot() {  # FILE
  open_tray_menu
  sleep 1.5
  mkdir -p "$(dirname "$1")"
  import -window root "$1"
  xdotool key Escape
  sleep 0.5
}
# Starts a program under probe.exe's debugger, its debugger output going to LOG.
start_debugged() {  # LOG EXE
  "$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$1")" "$(winepath -w "$2")" &
}
# The Linux process id of a running Windows program (its image's file name,
# as argv[0] ends), for what Wine does not report of it.
unix_pid() {  # NAME.EXE
  local p first
  for p in /proc/[0-9]*; do
    first=$(tr '\0' '\n' <"$p/cmdline" 2>/dev/null | head -1) || continue
    case "${first##*\\}" in "$1") echo "${p#/proc/}"; return 0 ;; esac
  done
  return 1
}
# Handles (the system's handle list) and private memory (resident anonymous
# bytes: Wine's PrivateUsage is 0) of the process whose window is CLASS.
process_stats() {  # CLASS NAME.EXE: prints "handles H private P"
  local pid handles kb
  pid=$(unix_pid "$2") || return 1
  handles=$(PROBE memstat "$1" | awk '{ print $2 }') || return 1
  kb=$(awk '$1 == "RssAnon:" { print $2 }' "/proc/$pid/status") || return 1
  echo "handles $handles private $((kb * 1024))"
}
