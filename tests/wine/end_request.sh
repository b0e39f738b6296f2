#!/usr/bin/env bash
# Ending the monitor from outside, as the tray's "Exit" does (7036 to the
# configuration window once, tray icon removed, mutex released, exit code 0):
# the installer's registered request, and Windows ending the session (log-off
# and the Restart Manager's ENDSESSION_CLOSEAPP), where the whole ending is
# done before the answer. An answered request always ends the monitor: with
# the tray menu open (a real right click), the moment its window exists, and
# while start-up shows "uiHook.dll can not be found!". Messages that any
# window may receive end nothing.
source "$(dirname "$0")/lib.sh"

name=$(sed -n 's/.*kEndRequestName\[\] = L"\([^"]*\)".*/\1/p' "$VXM_SOURCE/win/monitor/end_request.h")
check=0x$(sed -n 's/.*kEndRequestCheck = 0x\([0-9A-Fa-f]*\);.*/\1/p' "$VXM_SOURCE/win/monitor/end_request.h")
[ -n "$name" ] && [ "$check" != 0x ] || fail "cannot read the end request from end_request.h"
app=$(new_install)
cp "$BIN/cfgstub.exe" "$app/VXMCFG.EXE"
cfglog=$app/VXMCFG.EXE.log
log=$VXM_WINE_SESSION/end-request-debug.log
tray_shown() { [ -n "$(xdotool search --onlyvisible --name 'Wine System Tray' 2>/dev/null | head -1)" ]; }
wait_until() {  # TENTHS COMMAND...
  local n=$1
  shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
tray_hidden() { ! tray_shown; }
start_monitor() {
  : >"$log"
  : >"$cfglog"
  start_debugged "$log" "$app/VXMMON.EXE"
  mon=$!
  PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
  wait_until 100 tray_shown || fail "no tray icon"
}
running() { kill -0 "$mon" 2>/dev/null; }
not_running() { ! running; }
ended_in_order() {  # WHAT
  local rc=0
  wait_until 600 not_running || fail "$1: the monitor did not end: $(tail -12 "$log")"
  wait "$mon" || rc=$?
  [ "$rc" = 0 ] || fail "$1: exit code $rc"
  grep -q '^7036 0 0' "$cfglog" || fail "$1: no 7036 at the configuration window"
  [ "$(grep -c '^7036' "$cfglog")" = 1 ] || fail "$1: 7036 more than once"
  wait_until 50 tray_hidden || fail "$1: the tray icon was left"
  [ "$(PROBE mutex TVXMMONMAIN)" = 0 ] || fail "$1: the mutex was left"
}

"$WINE64" "$app/VXMCFG.EXE" &
PROBE wait-window TVXMCFGMAIN 15000 || fail "stand-in configuration window did not start"
start_monitor

# Any window may be sent these; none ends the monitor.
[ "$(PROBE send TVXMMONMAIN 0x11 0 0)" = 1 ] || fail "WM_QUERYENDSESSION not answered TRUE"
PROBE send TVXMMONMAIN 0x11 0 0x1 >/dev/null                  # ENDSESSION_CLOSEAPP, asked only
PROBE send TVXMMONMAIN 0x16 0 0 >/dev/null                    # the session's end called off
PROBE send TVXMMONMAIN 0x10 0 0 >/dev/null                    # WM_CLOSE: the About page hides
[ "$(PROBE send-registered TVXMMONMAIN "$name" 0 0)" = 0 ] || fail "a request without the check was answered"
[ "$(PROBE send-registered TVXMMONMAIN "$name" "$check" 1)" = 0 ] || fail "a request with lParam 1 was answered"
# Every registered message number, with nothing and with the check beside a
# wrong lParam, as a sweep by another program would send them.
PROBE sweep TVXMMONMAIN 0xC000 0xFFFF 0 0 >/dev/null || fail "sweep not delivered"
PROBE sweep TVXMMONMAIN 0xC000 0xFFFF "$check" 2 >/dev/null || fail "sweep not delivered"
PROBE send TVXMMONMAIN 0 0 0 >/dev/null  # after everything posted above
sleep 0.5
kill -0 "$mon" 2>/dev/null && [ "$(PROBE count TVXMMONMAIN)" = 1 ] || fail "the monitor ended: $(cat "$log")"
[ ! -s "$cfglog" ] || fail "the configuration window was told: $(cat "$cfglog")"
tray_shown || fail "the tray icon went"
pass "query, called-off end, WM_CLOSE, wrong requests and a sweep of 0xC000-0xFFFF leave the monitor running"

# The installer's request while the tray menu is open: answered with the
# check, the menu closes, then the Exit path; asked again meanwhile, it is
# answered again and the configuration window still hears of it once.
open_tray_menu
answer=$(PROBE send-registered TVXMMONMAIN "$name" "$check" 0)
[ "$answer" = $((check)) ] || fail "the request was answered $answer"
# (Unless the window has gone by then.)
answer=$(PROBE send-registered TVXMMONMAIN "$name" "$check" 0 || true)
case $answer in $((check)) | 0 | "no window of that class") ;; *) fail "the repeated request was answered $answer" ;; esac
ended_in_order "installer's request with the tray menu open"
PROBE wait-gone '#32768' 5000 || fail "the tray menu was left open"
pass "the installer's request with the tray menu open is answered and ends the monitor in order"

# Log-off: the whole ending is done by the time WM_ENDSESSION is answered,
# as Windows may end the process right after.
start_monitor
# Past start-up (the 1500 ms start of reading): the end is then answered
# from the top of the loop, not deferred behind a start-up step.
sleep 2
out=$(PROBE endsession TVXMMONMAIN 0)
echo "log-off: $out"
[ "$out" = "query=1 end=0 answered=1 mutex=0" ] || fail "log-off: $out"
ended_in_order "log-off"
pass "WM_ENDSESSION ends the monitor in order before it answers"

# The Restart Manager closing this program only.
start_monitor
# Past start-up (the 1500 ms start of reading): the end is then answered
# from the top of the loop, not deferred behind a start-up step.
sleep 2
out=$(PROBE endsession TVXMMONMAIN 0x1)
echo "ENDSESSION_CLOSEAPP: $out"
[ "$out" = "query=1 end=0 answered=1 mutex=0" ] || fail "ENDSESSION_CLOSEAPP: $out"
ended_in_order "ENDSESSION_CLOSEAPP"
pass "ENDSESSION_CLOSEAPP ends the monitor in order"

# Log-off with the tray menu open: the menu closes and the monitor ends in
# order right after its answer (the menu's own loop is below the answer).
start_monitor
sleep 2
open_tray_menu
out=$(PROBE endsession TVXMMONMAIN 0)
echo "log-off with the menu open: $out"
[[ $out == "query=1 end=0 answered=1 mutex="[01] ]] || fail "log-off with the menu open: $out"
ended_in_order "log-off with the menu open"
pass "WM_ENDSESSION with the tray menu open ends the monitor in order"

# The installer asks the moment the window exists (before start-up has put
# the logic behind it), and at once again: both are answered, and the
# monitor ends in order, telling the configuration window once.
: >"$log"
: >"$cfglog"
early=$VXM_WINE_SESSION/end-request-early.out
(PROBE send-registered-first TVXMMONMAIN "$name" "$check" 0 30000 >"$early") &
asker=$!
sleep 1  # the asker is looking for the window
start_debugged "$log" "$app/VXMMON.EXE"
mon=$!
wait "$asker" || fail "the early request found no window"
echo "answers to the early requests: $(cat "$early")"
[ "$(cat "$early")" = "$((check)) $((check))" ] || fail "the early requests were answered $(cat "$early")"
ended_in_order "a request the moment the window exists"
pass "a request the moment the window exists, repeated, is answered and ends the monitor in order"

# Start-up stopped at "uiHook.dll can not be found!": the request is
# answered, the box closes, and the monitor ends in order without going on
# to run.
nohook=$(new_install)
rm "$nohook/uiHook.dll"
: >"$log"
: >"$cfglog"
start_debugged "$log" "$nohook/VXMMON.EXE"
mon=$!
PROBE wait-window '#32770' 20000 || fail "no message box without uiHook.dll"
grep -q 'uiHook.dll can not be found!' "$log" || fail "the box is not the hook library's: $(cat "$log")"
answer=$(PROBE send-registered TVXMMONMAIN "$name" "$check" 0)
[ "$answer" = $((check)) ] || fail "the request with the start-up box up was answered $answer"
ended_in_order "a request while start-up shows its box"
[ "$(PROBE count '#32770')" = 0 ] || fail "the box was left"
pass "a request while start-up shows \"uiHook.dll can not be found!\" closes it and ends the monitor in order"

# Nothing is left behind: a new instance starts.
start_monitor
pass "a new instance starts afterwards"
