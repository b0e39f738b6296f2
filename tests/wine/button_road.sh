#!/usr/bin/env bash
# The road of a button press in the monitor program under Wine: the mouse is
# a stand-in device behind a named pipe; the read thread, the hand-over, the
# decoder, the messages, the registry and Core Audio are the real ones.
#   VXM_ROAD_VERBOSE=1 prints what happened along the way.
source "$(dirname "$0")/lib.sh"
fresh_registry

key='software\software\zrngmmouse'
app=$(new_install)
cp "$BIN/VXMMON_STANDIN.EXE" "$app/"
cp "$BIN/cfgstub.exe" "$app/VXMCFG.EXE"
work=$VXM_WINE_SESSION/road
mkdir -p "$work"
log=$work/monitor-debug.log
cfglog=$app/VXMCFG.EXE.log
say() { [ -n "${VXM_ROAD_VERBOSE:-}" ] && echo "  $*"; return 0; }
wait_for() {  # FILE PATTERN [tries]: waits until the pattern shows in the file
  for _ in $(seq "${3:-100}"); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
profile_id() {
  "$WINE64" reg query "HKCU\\$key" /v ProfileID 2>/dev/null | tr -d '\r' | awk '$1 == "ProfileID" { print $3 }'
}

# Button 10 is the microphone mute (FunctionIndex at 872 + 4080 * 10 + 4062)
# in the third profile, current on a first start, and in the first, which a
# reload (7035) makes current as the group's profile.
for n in 1 3; do
  PROBE regbin "$key" "ZRNProfile$n.pfd" 140072 $((872 + 4080 * 10 + 4062)) 28 || fail "cannot write profile $n"
done

# The configuration application's stand-in, then the mouse, then the monitor.
"$WINE64" "$app/VXMCFG.EXE" &
PROBE wait-window TVXMCFGMAIN 15000 || fail "stand-in configuration window did not start"
mkfifo "$work/device.in"
"$WINE64" "$BIN/probe.exe" device '\\.\pipe\vxm-mouse' <"$work/device.in" >"$work/device.out" 2>/dev/null &
exec 7>"$work/device.in"
send() { say "report $*"; echo "$*" >&7; }

VXM_STANDIN_PIPE='\\.\pipe\vxm-mouse' "$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$log")" \
  "$(winepath -w "$app/VXMMON_STANDIN.EXE")" &
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
wait_for "$work/device.out" connected 100 || fail "the monitor did not open the device within 10 s"
say "the monitor opened the device"
sleep 0.5

send 07 00 04 00 00 00 00 00
wait_for "$log" "MicrophoneMute: muted" || fail "first press did not mute: $(cat "$log")"
send 07 00 04 00 00 00 00 00
wait_for "$log" "MicrophoneMute: unmuted" || fail "second press did not unmute"
[ "$(grep -c 'KeyIndex = 10 postmessage record!' "$log")" = 2 ] || fail "decoder lines missing"
say "$(grep -E 'KeyIndex|MicrophoneMute' "$log" | tr '\n' ';')"
pass "button 10 (function 28) toggles the microphone and back"

send 08 01 03 00 00 00 00 00
wait_for "$cfglog" '^7040 3 0' || fail "7040 with wParam 3 not received"
[ "$(profile_id)" = 0x3 ] || fail "ProfileID is $(profile_id), not 3"
pass "profile switch to 3: ProfileID 3 and 7040 3 0"

send 08 02 2A 00 00 00 00 00
wait_for "$cfglog" '^7042 42 0' || fail "7042 with wParam 42 not received"
pass "device value 0x2A forwarded as 7042 42"

send 08 01 01 00 00 00 00 00
wait_for "$cfglog" '^7040 1 0' || fail "7040 with wParam 1 not received"
PROBE post TVXMMONMAIN 7035 0 3
for _ in $(seq 50); do [ "$(profile_id)" = 0x3 ] && break; sleep 0.1; done
[ "$(profile_id)" = 0x3 ] || fail "7035 did not set ProfileID 3"
pass "7035 with lParam 3 reloads and sets ProfileID 3"

# Another process's 7035 with an lParam that names no profile still reloads,
# and leaves ProfileID as it was: judged on the whole value, so 0x100000003
# is not 3. The reload shows in what button 10 does afterwards.
mutes() { grep -c 'MicrophoneMute:' "$log"; }
presses() { grep -c 'KeyIndex = 10 postmessage record!' "$log"; }
press_10() {  # presses button 10 and gives the monitor time to act on it
  local before
  before=$(presses)
  send 07 00 04 00 00 00 00 00
  for _ in $(seq 50); do [ "$(presses)" -gt "$before" ] && break; sleep 0.1; done
  sleep 0.5
}
PROBE send TVXMMONMAIN 7035 0 1 >/dev/null || fail "7035 not delivered"
[ "$(profile_id)" = 0x1 ] || fail "7035 did not set ProfileID 1"
PROBE regbin "$key" ZRNProfile1.pfd 140072 $((872 + 4080 * 10 + 4062)) 0 || fail "cannot write profile 1"
PROBE send TVXMMONMAIN 7035 0 0x100000003 >/dev/null
[ "$(profile_id)" = 0x1 ] || fail "7035 with lParam 0x100000003 set ProfileID $(profile_id)"
m=$(mutes); press_10
[ "$(mutes)" = "$m" ] || fail "7035 with lParam 0x100000003 did not reload (button 10 still mutes)"
PROBE regbin "$key" ZRNProfile1.pfd 140072 $((872 + 4080 * 10 + 4062)) 28 || fail "cannot write profile 1"
for l in -1 5 0x80000000; do
  PROBE send TVXMMONMAIN 7035 0 $l >/dev/null
  [ "$(profile_id)" = 0x1 ] || fail "7035 with lParam $l set ProfileID $(profile_id)"
done
m=$(mutes); press_10
[ "$(mutes)" = $((m + 1)) ] || fail "7035 with lParam 5 did not reload (button 10 does not mute)"
say "ProfileID stayed 1 through lParams 0x100000003, -1, 5, 0x80000000; each reloaded"
pass "7035 with an lParam outside 0 to 4 reloads and leaves ProfileID alone"

# A hung configuration application must not hold up the next report.
PROBE post TVXMCFGMAIN 0x0010 0 0   # WM_CLOSE
PROBE wait-gone TVXMCFGMAIN 10000 || fail "stand-in did not close"
"$WINE64" "$app/VXMCFG.EXE" --hang-on 7040 &
PROBE wait-window TVXMCFGMAIN 15000 || fail "hanging stand-in did not start"
send 08 01 02 00 00 00 00 00
wait_for "$cfglog" '^7040 2 0' || fail "hanging stand-in did not get 7040"
t0=$(now_ms)
m=$(mutes)
send 07 00 04 00 00 00 00 00
for _ in $(seq 100); do [ "$(mutes)" = $((m + 1)) ] && break; sleep 0.1; done
t1=$(now_ms)
[ "$(mutes)" = $((m + 1)) ] || { cat "$log"; cat "$cfglog"; fail "the report after a hung 7040 was not handled"; }
say "next report handled $((t1 - t0)) ms after it was sent, while the stand-in hangs"
[ $((t1 - t0)) -lt 5000 ] || fail "took $((t1 - t0)) ms"
pass "a hung configuration application does not stop the next report"

# A click on the tray icon while it still hangs (it sleeps 30 s in 7040):
# bringing it forward must not wait for it, so the next report and a 7035
# are handled at once.
tray=$(xdotool search --name "Wine System Tray" | head -1)
[ -n "$tray" ] || fail "no Wine System Tray window"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove --sync $((X + 8)) $((Y + 8)) click 1
sleep 0.3
m=$(mutes)
t0=$(now_ms)
send 07 00 04 00 00 00 00 00
PROBE post-wait-reg TVXMMONMAIN 7035 0 4 "$key" ProfileID 4 40000 >"$work/reload.ms" &
reload=$!
for _ in $(seq 800); do [ "$(mutes)" = $((m + 1)) ] && break; sleep 0.05; done
t1=$(now_ms)
wait "$reload"
reload_ms=$(cat "$work/reload.ms")
echo "with the configuration window hung: report handled after $((t1 - t0)) ms, 7035 after $reload_ms ms"
[ "$(mutes)" = $((m + 1)) ] || fail "the report after the tray click was not handled"
[ "$(profile_id)" = 0x4 ] || fail "the 7035 after the tray click was not handled"
[ $((t1 - t0)) -lt 1000 ] || fail "the report waited $((t1 - t0)) ms behind the hung window"
[ "$reload_ms" -lt 1000 ] || fail "the 7035 waited $reload_ms ms behind the hung window"
pass "a tray click on a hung configuration window holds up neither reports nor 7035"

exec 7>&-
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
