#!/usr/bin/env bash
# The monitor process under Wine: single instance (also against a mutex it
# may not open), hidden main window without a task-bar button, the tray icon
# (version 4, its selections and context menu, re-add, DPI), the
# configuration application (one start per click burst, restored when
# minimized), the hidden About page, and an exit while another process keeps
# sending 7037.
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
grep -q '^tray version 4$' "$log" || fail "the tray icon did not get version 4"
pass "hidden tool window, tray icon with hint GAMING MOUSE DRIVER, version 4"

# A second start ends at once with 0 and creates no window.
t0=$(now_ms)
timeout 10 "$WINE64" "$app/VXMMON.EXE" || fail "second instance exit code $?"
t1=$(now_ms)
echo "second instance ended after $((t1 - t0)) ms"
[ $((t1 - t0)) -lt 1000 ] || fail "second instance took $((t1 - t0)) ms"
[ "$(PROBE count TVXMMONMAIN)" = 1 ] || fail "second instance created a window"
pass "second instance"

# Tray callbacks as the shell sends them at version 4: the event in the low
# word of lParam, the icon id (1) in the high word, the anchor point in wParam.
tray_event() {  # EVENT [X Y]
  PROBE post TVXMMONMAIN 0x8001 $(( (${3:-0} << 16) | ${2:-0} )) $(( (1 << 16) | $1 ))
}
NIN_SELECT=0x400 NIN_KEYSELECT=0x401 WM_CONTEXTMENU=0x7B
starts() { grep -c started "$app/VXMCFG.EXE.log" 2>/dev/null || true; }

# A selection with no configuration application running starts it from the
# monitor's folder by its full path. This one ends at once without a window:
# the next selection starts it again.
cp "$BIN/cfgstub.exe" "$app/VXMCFG.EXE"
touch "$app/VXMCFG.EXE.nowindow"
tray_event $NIN_SELECT || fail "tray callback not delivered"
for _ in $(seq 100); do [ "$(starts)" = 1 ] && break; sleep 0.1; done
[ "$(starts)" = 1 ] || fail "configuration application not started"
grep -q "started" "$app/VXMCFG.EXE.log" || fail "not started from the monitor's folder"
[ ! -e "$decoy/VXMCFG.EXE.log" ] || fail "started the program in the current folder"
sleep 2  # until its process has ended
tray_event $NIN_SELECT
for _ in $(seq 100); do [ "$(starts)" = 2 ] && break; sleep 0.1; done
[ "$(starts)" = 2 ] || fail "a start that ended without a window held up the next one"
rm "$app/VXMCFG.EXE.nowindow"
pass "a selection starts VXMCFG.EXE from the monitor's folder, again after it ended"

# A real double click on the icon while the start takes 2 s to show its
# window: one start, not two.
echo 2000 >"$app/VXMCFG.EXE.delay"
tray=$(xdotool search --name "Wine System Tray" | head -1)
[ -n "$tray" ] || fail "no Wine System Tray window"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove --sync $((X + 8)) $((Y + 8)) click --repeat 2 --delay 120 1
PROBE wait-window TVXMCFGMAIN 15000 || fail "configuration application not started by the double click"
sleep 1.5
[ "$(starts)" = 3 ] || fail "the double click started $(( $(starts) - 2 )) configuration applications"
[ "$(PROBE count TVXMCFGMAIN)" = 1 ] || fail "two configuration windows"
rm "$app/VXMCFG.EXE.delay"
pass "a double click starts one configuration application"

# A selection with it running brings it forward and starts no second one;
# a minimized one is restored (the keyboard's selection this time).
PROBE wait-visible TVXMCFGMAIN 100 && fail "stand-in should start hidden"
tray_event $NIN_SELECT
PROBE wait-visible TVXMCFGMAIN 5000 || fail "configuration window not shown"
PROBE show TVXMCFGMAIN 6   # SW_MINIMIZE
for _ in $(seq 20); do [[ $(PROBE info TVXMCFGMAIN) == *"iconic=1"* ]] && break; sleep 0.1; done
[[ $(PROBE info TVXMCFGMAIN) == *"iconic=1"* ]] || fail "could not minimize the stand-in"
tray_event $NIN_KEYSELECT
for _ in $(seq 30); do [[ $(PROBE info TVXMCFGMAIN) == *"iconic=0"* ]] && break; sleep 0.1; done
info=$(PROBE info TVXMCFGMAIN)
[[ $info == *"visible=1 iconic=0"* ]] || fail "the minimized configuration window was not restored: $info"
sleep 1
[ "$(PROBE count TVXMCFGMAIN)" = 1 ] || fail "a second configuration application was started"
[ "$(starts)" = 3 ] || fail "started again"
pass "a selection brings the running configuration application forward, restored from minimized"

# The context menu opens at the icon's anchor point the shell names (the
# right click and Shift+F10 alike), not at the cursor.
xdotool mousemove --sync 5 5
tray_event $WM_CONTEXTMENU 400 300
PROBE wait-window '#32768' 5000 || fail "the context menu did not open"
rect=$(PROBE rect '#32768')
echo "menu at $rect"
[[ $rect == "400 300 "* ]] || fail "the menu opened at $rect, not at the icon's point 400 300"
# Its first item, "Config", under the mouse: brings the running stand-in forward.
xdotool mousemove --sync 410 308 click 1
PROBE wait-gone '#32768' 5000 || fail "the menu did not close"
[ "$(starts)" = 3 ] || fail "\"Config\" started another configuration application"
pass "the context menu opens at the icon"

# The shell restarted: the icon comes back with version 4 again. A scale
# change sizes it for the new DPI; a message with a DPI no monitor has asks
# the system instead.
PROBE post TVXMMONMAIN TaskbarCreated 0 0
for _ in $(seq 50); do [ "$(grep -c '^tray version 4$' "$log")" = 2 ] && break; sleep 0.1; done
[ "$(grep -c '^tray version 4$' "$log")" = 2 ] || fail "no version 4 after the re-add"
grep -q '^tray icon size 16 at 96 dpi$' "$log" || fail "the icon was not sized for 96 dpi"
PROBE post TVXMMONMAIN 0x02E0 $(( (144 << 16) | 144 )) 0   # WM_DPICHANGED
for _ in $(seq 50); do grep -q '^tray icon size 24 at 144 dpi$' "$log" && break; sleep 0.1; done
grep -q '^tray icon size 24 at 144 dpi$' "$log" || fail "the icon was not resized for 144 dpi"
PROBE post TVXMMONMAIN 0x02E0 0xFFFFFFFF 0
for _ in $(seq 50); do [ "$(grep -c '^tray icon size 16 at 96 dpi$' "$log")" = 2 ] && break; sleep 0.1; done
[ "$(grep -c '^tray icon size 16 at 96 dpi$' "$log")" = 2 ] || fail "a DPI of 65535 was taken"
pass "re-added with version 4 after TaskbarCreated; sized for 96, 144 and back to 96 dpi"

# A click posted to the hidden About page does not open the web address.
# The shell's handler of https addresses is a recorder for now.
urls=$VXM_WINE_SESSION/urls.log
handler='HKCR\https\shell\open\command'
saved=$("$WINE64" reg query "$handler" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_[A-Z_]* *//p')
"$WINE64" reg add "$handler" /ve /d "\"$(winepath -w "$BIN/probe.exe")\" record \"$(winepath -w "$urls")\" \"%1\"" /f >/dev/null 2>&1
"$WINE64" start https://www.example.com/control >/dev/null 2>&1
for _ in $(seq 50); do grep -q control "$urls" 2>/dev/null && break; sleep 0.1; done
grep -q control "$urls" || fail "the recording handler of https addresses does not work"
PROBE post TVXMMONMAIN 0x0201 0 $(( (268 << 16) | 73 ))   # WM_LBUTTONDOWN on the web button
PROBE post TVXMMONMAIN 0x0202 0 $(( (268 << 16) | 73 ))   # WM_LBUTTONUP
sleep 2
grep -q gaming-mouse "$urls" && fail "a click posted to the hidden page opened $(cat "$urls")"
"$WINE64" reg add "$handler" /ve /d "$saved" /f >/dev/null 2>&1
pass "the hidden About page's web button does not act"

# The tray menu, opened for real in Wine's system tray window.
tray=$(xdotool search --name "Wine System Tray" | head -1)
[ -n "$tray" ] || fail "no Wine System Tray window"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove --sync $((X + 12)) $((Y + 12)) click 3
sleep 1.5
mkdir -p "$VXM_ARTIFACTS"
import -window root "$VXM_ARTIFACTS/tray-menu.png"
pass "screenshot $VXM_ARTIFACTS/tray-menu.png"

# "Exit" is the last visible item. Two other processes keep sending 7037
# meanwhile: the monitor ignores what arrives while its window goes (the
# tray icon's removal waits on the shell, and sent messages are dispatched
# then), and ends cleanly.
flood=$VXM_WINE_SESSION/flood
for n in 1 2; do
  (PROBE flood TVXMMONMAIN 7037 0 0 6000 >"$flood.$n") &
done
sleep 1
xdotool key Up Return
for _ in $(seq 100); do kill -0 "$mon" 2>/dev/null || break; sleep 0.1; done
rc=0
wait "$mon" || rc=$?
wait
echo "7037 delivered while exiting: $(cat "$flood.1") and $(cat "$flood.2")"
grep '^exception' "$log" && fail "exceptions in the monitor"
[ "$rc" = 0 ] || fail "monitor exit code $rc"
grep -q '^7036 0 0' "$app/VXMCFG.EXE.log" || fail "7036 not posted to the configuration window"
pass "Exit posts 7036 0 0 and ends with 0, without an exception, while 7037 keeps coming"

# An instance at another integrity level holds a mutex this one may not
# open: the new start ends like any second instance.
"$WINE64" "$BIN/probe.exe" hold-mutex TVXMMONMAIN 6000 >"$VXM_WINE_SESSION/held" 2>/dev/null &
holder=$!
for _ in $(seq 50); do grep -q held "$VXM_WINE_SESSION/held" && break; sleep 0.1; done
grep -q held "$VXM_WINE_SESSION/held" || fail "could not hold the mutex"
t0=$(now_ms)
rc=0
timeout 10 "$WINE64" "$app/VXMMON.EXE" || rc=$?
t1=$(now_ms)
[ "$rc" = 0 ] || fail "start against a mutex it may not open: exit code $rc"
[ $((t1 - t0)) -lt 1000 ] || fail "start against a mutex it may not open took $((t1 - t0)) ms"
[ "$(PROBE count TVXMMONMAIN)" = 0 ] || fail "a window was created"
wait "$holder"
pass "a mutex that may not be opened ends the new start with 0 after $((t1 - t0)) ms"

# The mutex is gone: a new instance starts at once.
"$WINE64" "$app/VXMMON.EXE" &
mon2=$!
PROBE wait-window TVXMMONMAIN 20000 || fail "new instance did not start"
kill -0 "$mon2" || fail "new instance ended"
pass "a new instance starts after exit"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait || true
