#!/usr/bin/env bash
# Start-up errors of the profile data in the real monitor: it says what
# happened (and what it stored before), keeps running, and once the user has
# repaired the data a reload from the configuration application (7035) loads
# it, placing the profiles that start-up had not reached.
source "$(dirname "$0")/lib.sh"

key='software\software\zrngmmouse'
work=$VXM_WINE_SESSION/startup-repair
mkdir -p "$work"
docs=$HOME/Documents
[ -d "$docs" ] || docs=$HOME

value_bytes() {  # NAME -> size in bytes of the binary value, empty when missing
  local hex
  hex=$("$WINE64" reg query "HKCU\\$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }')
  [ -n "$hex" ] && echo $(( ${#hex} / 2 ))
  return 0
}
profile_id() {
  "$WINE64" reg query "HKCU\\$key" /v ProfileID 2>/dev/null | tr -d '\r' | awk '$1 == "ProfileID" { print $3 }'
}
wait_for() {  # FILE PATTERN: waits up to 10 s until the pattern shows in the file
  for _ in $(seq 100); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
alive() { [ "$(PROBE count TVXMMONMAIN)" = 1 ] && kill -0 "$mon" 2>/dev/null; }
# Starts EXE under the debugger; returns once its start-up message box is up
# and its text is in the log.
start_broken() {  # LOG EXE
  : >"$1"
  start_debugged "$1" "$2"
  mon=$!
  PROBE wait-window TVXMMONMAIN 20000 || fail "monitor window did not appear"
  wait_for "$1" 'start-up error' || fail "no start-up error reported: $(cat "$1")"
  PROBE wait-window '#32770' 10000 || fail "no message box"
}
dismiss_box() {
  PROBE post '#32770' 0x0111 1 0 || fail "cannot close the message box"  # WM_COMMAND IDOK
  PROBE wait-gone '#32770' 5000 || fail "message box still open"
}
# 7035 from "the configuration application" after the repair: loaded, not failed.
reload_repaired() {  # LOG
  local failed
  failed=$(grep -c 'message 7035 failed' "$1" || true)
  PROBE post TVXMMONMAIN 7035 0 3 || fail "7035 not delivered"
  for _ in $(seq 100); do [ "$(profile_id)" = 0x3 ] && break; sleep 0.1; done
  alive || fail "the monitor ended on the reload after the repair"
  [ "$(profile_id)" = 0x3 ] || fail "reload did not complete: ProfileID $(profile_id); $(tail -5 "$1")"
  [ "$(grep -c 'message 7035 failed' "$1" || true)" = "$failed" ] || fail "reload failed: $(tail -3 "$1")"
}
stop_all() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  wait 2>/dev/null || true
}

app=$(new_install)
cp "$BIN/VXMMON_STANDIN.EXE" "$app/"

# 1. A group record whose current group is 7: nothing stored, nothing written.
fresh_registry
PROBE regbin "$key" ProfileSettingGroup.pfd 30964 0 7 || fail "cannot write the group record"
log=$work/group.log
start_broken "$log" "$app/VXMMON.EXE"
grep -q 'profile group 7' "$log" || fail "error does not name the group: $(cat "$log")"
grep -q 'Nothing stored was changed.' "$log" || fail "message does not say nothing changed"
dismiss_box
PROBE post TVXMMONMAIN 7035 0 3
wait_for "$log" 'message 7035 failed' || fail "unrepaired reload not reported"
alive || fail "the monitor ended on the unrepaired reload"
[ -z "$(value_bytes allsettings.pfd)" ] || fail "settings written although start-up stopped before them"
PROBE regbin "$key" ProfileSettingGroup.pfd 30964 0 0  # repaired: group 0, profile 0
reload_repaired "$log"
[ "$(value_bytes allsettings.pfd)" = 30954 ] || fail "the reload did not run the rest of start-up"
pass "bad group record: reported, kept; after the repair 7035 completes the start"
stop_all

# 2. A settings value of the wrong type on a first start: the group defaults
#    went in first and the message says so. The stand-in device shows that the
#    repaired profile is the one in effect afterwards.
fresh_registry
rm -rf "$docs/ZRNProfile"  # as on a first start: the group defaults create the folders
"$WINE64" reg add "HKCU\\$key" /v allsettings.pfd /t REG_SZ /d broken /f >/dev/null 2>&1
PROBE regbin "$key" ZRNProfile1.pfd 140072 $((872 + 4080 * 10 + 4062)) 28 || fail "cannot write profile 1"
mkfifo "$work/device.in"
"$WINE64" "$BIN/probe.exe" device '\\.\pipe\vxm-repair' <"$work/device.in" >"$work/device.out" 2>/dev/null &
exec 7>"$work/device.in"
log=$work/settings.log
export VXM_STANDIN_PIPE='\\.\pipe\vxm-repair'
start_broken "$log" "$app/VXMMON_STANDIN.EXE"
unset VXM_STANDIN_PIPE
grep -q 'allsettings.pfd' "$log" || fail "error does not name the value: $(cat "$log")"
grep -q 'Nothing stored was changed' "$log" && fail "message claims nothing changed: $(cat "$log")"
grep -q 'registry value "ProfileSettingGroup.pfd"' "$log" || fail "message does not name the group defaults"
grep -q 'ZRNProfile5_Macros' "$log" || fail "message does not name the folders"
[ "$(value_bytes ProfileSettingGroup.pfd)" = 30964 ] || fail "group defaults not stored"
dismiss_box
wait_for "$work/device.out" connected || fail "the monitor did not open the device"
echo "07 00 04 00 00 00 00 00" >&7
wait_for "$log" 'KeyIndex = 10' || fail "key report not decoded"
sleep 0.5
grep -q 'MicrophoneMute' "$log" && fail "a profile acted before any was loaded"
"$WINE64" reg delete "HKCU\\$key" /v allsettings.pfd /f >/dev/null 2>&1
reload_repaired "$log"
[ "$(value_bytes allsettings.pfd)" = 30954 ] || fail "settings defaults not written by the reload"
echo "07 00 04 00 00 00 00 00" >&7
wait_for "$log" 'MicrophoneMute: muted' || fail "the repaired profile is not in effect: $(tail -5 "$log")"
pass "wrong-type settings value: message names what was stored; after the repair button 10 mutes"
exec 7>&-
stop_all

# 3. The profile folder cannot be made (a file is in its place).
fresh_registry
rm -rf "$docs/ZRNProfile"
: >"$docs/ZRNProfile"
log=$work/folder.log
start_broken "$log" "$app/VXMMON.EXE"
grep -q 'cannot create the folder' "$log" || fail "error does not name the folder: $(cat "$log")"
grep -q 'Nothing stored was changed.' "$log" || fail "message does not say nothing changed"
dismiss_box
rm -f "$docs/ZRNProfile"
reload_repaired "$log"
[ "$(value_bytes ProfileSettingGroup.pfd)" = 30964 ] || fail "group defaults not written by the reload"
[ -d "$docs/ZRNProfile/ZRNProfile5_Macros" ] || fail "folders not created by the reload"
pass "profile folder blocked: reported; after the repair 7035 writes the defaults and folders"
stop_all

# 4. A profile value of the wrong type, behind a good group and settings
#    record from an earlier start.
fresh_registry
start_debugged "$work/first.log" "$app/VXMMON.EXE"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor window did not appear"
sleep 0.5
stop_all
[ "$(value_bytes allsettings.pfd)" = 30954 ] || fail "the first start stored no settings"
"$WINE64" reg add "HKCU\\$key" /v ZRNProfile3.pfd /t REG_SZ /d broken /f >/dev/null 2>&1
log=$work/profile.log
start_broken "$log" "$app/VXMMON.EXE"
grep -q 'ZRNProfile3.pfd' "$log" || fail "error does not name the profile value: $(cat "$log")"
grep -q 'Nothing stored was changed.' "$log" || fail "message does not say nothing changed"
dismiss_box
"$WINE64" reg delete "HKCU\\$key" /v ZRNProfile3.pfd /f >/dev/null 2>&1
reload_repaired "$log"
pass "wrong-type profile value: reported, kept; after the repair 7035 loads"
stop_all
