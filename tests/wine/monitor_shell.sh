#!/usr/bin/env bash
# The monitor process under Wine: single instance, hidden main window without
# a task-bar button, tray icon and menu, the configuration application, exit.
source "$(dirname "$0")/lib.sh"

app=$(new_install)
decoy=$(mktemp -d "$VXM_WINE_SESSION/decoy.XXXXXX")
# A program of the same name in the current folder must never be started.
cp "$BIN/cfgstub.exe" "$decoy/VXMCFG.EXE"
log=$VXM_WINE_SESSION/monitor-debug.log

(cd "$decoy" && exec "$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$log")" "$(winepath -w "$app/VXMMON.EXE")") &
mon=$!
PROBE wait-window TVXMMONMAIN 20000 || fail "main window did not appear"

info=$(PROBE info TVXMMONMAIN)
echo "main window: $info"
[[ $info == *"visible=0"* ]] || fail "main window is visible"
[[ $info == *"toolwindow=1"* && $info == *"appwindow=0"* ]] || fail "main window would get a task-bar button"
for _ in $(seq 50); do grep -q 'tray hint: GAMING MOUSE DRIVER' "$log" && break; sleep 0.1; done
cat "$log"
grep -q 'tray icon added' "$log" && grep -q 'tray hint: GAMING MOUSE DRIVER' "$log" || fail "tray icon not added with its hint"
pass "hidden tool window, tray icon with hint GAMING MOUSE DRIVER"

# A second start ends at once with 0 and creates no window.
t0=$(now_ms)
timeout 10 "$WINE64" "$app/VXMMON.EXE" || fail "second instance exit code $?"
t1=$(now_ms)
echo "second instance ended after $((t1 - t0)) ms"
[ $((t1 - t0)) -lt 1000 ] || fail "second instance took $((t1 - t0)) ms"
[ "$(PROBE count TVXMMONMAIN)" = 1 ] || fail "second instance created a window"
pass "second instance"

# Left click with no configuration application running starts it from the
# monitor's folder by its full path.
cp "$BIN/cfgstub.exe" "$app/VXMCFG.EXE"
PROBE post TVXMMONMAIN 0x8001 1 0x0202 || fail "tray callback not delivered"
PROBE wait-window TVXMCFGMAIN 15000 || fail "configuration application not started"
grep -q "started" "$app/VXMCFG.EXE.log" || fail "not started from the monitor's folder"
[ ! -e "$decoy/VXMCFG.EXE.log" ] || fail "started the program in the current folder"
pass "click starts VXMCFG.EXE from the monitor's folder"

# Left click with it running brings it forward and starts no second one.
PROBE wait-visible TVXMCFGMAIN 100 && fail "stand-in should start hidden"
PROBE post TVXMMONMAIN 0x8001 1 0x0202
PROBE wait-visible TVXMCFGMAIN 5000 || fail "configuration window not shown"
sleep 1
[ "$(PROBE count TVXMCFGMAIN)" = 1 ] || fail "a second configuration application was started"
[ "$(grep -c started "$app/VXMCFG.EXE.log")" = 1 ] || fail "started twice"
pass "click brings the running configuration application forward"

# The tray menu, opened for real in Wine's system tray window.
tray=$(xdotool search --name "Wine System Tray" | head -1)
[ -n "$tray" ] || fail "no Wine System Tray window"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove --sync $((X + 12)) $((Y + 12)) click 3
sleep 1.5
mkdir -p "$VXM_ARTIFACTS"
import -window root "$VXM_ARTIFACTS/tray-menu.png"
pass "screenshot $VXM_ARTIFACTS/tray-menu.png"

# "Exit" is the last visible item.
xdotool key Up Return
for _ in $(seq 100); do kill -0 "$mon" 2>/dev/null || break; sleep 0.1; done
wait "$mon"
rc=$?
[ "$rc" = 0 ] || fail "monitor exit code $rc"
grep -q '^7036 0 0' "$app/VXMCFG.EXE.log" || fail "7036 not posted to the configuration window"
pass "Exit posts 7036 0 0 and ends with 0"

# The mutex is gone: a new instance starts at once.
"$WINE64" "$app/VXMMON.EXE" &
mon2=$!
PROBE wait-window TVXMMONMAIN 20000 || fail "new instance did not start"
kill -0 "$mon2" || fail "new instance ended"
pass "a new instance starts after exit"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait || true
