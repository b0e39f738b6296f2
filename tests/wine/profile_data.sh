#!/usr/bin/env bash
# The monitor's first start on a fresh prefix writes the group and settings
# records and the profile folders; a second start changes nothing; a garbage
# settings value does not bring it down; config.ini is obeyed.
source "$(dirname "$0")/lib.sh"

key='HKCU\software\software\zrngmmouse'
value_hex() {  # KEY NAME -> the value's data as hex
  "$WINE64" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $3 }'
}
start_and_stop() {  # APPDIR: runs the monitor until its window exists, then ends it
  "$WINE64" "$1/VXMMON.EXE" &
  local pid=$!
  PROBE wait-window TVXMMONMAIN 20000 || fail "monitor window did not appear"
  sleep 0.5
  kill -0 "$pid" || fail "monitor ended by itself"
  "$WINESERVER" -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
}

fresh_registry
app=$(new_install)
rm -f "$app/config.ini"  # no file: the doubled "software\" prefix
start_and_stop "$app"
group=$(value_hex "$key" ProfileSettingGroup.pfd)
all=$(value_hex "$key" allsettings.pfd)
[ $(( ${#group} / 2 )) = 30964 ] || fail "ProfileSettingGroup.pfd is $(( ${#group} / 2 )) bytes"
[ $(( ${#all} / 2 )) = 30954 ] || fail "allsettings.pfd is $(( ${#all} / 2 )) bytes"
"$WINE64" reg query "$key" 2>/dev/null | tr -d '\r' | grep -q 'ZRNProfile[0-9]' && fail "a profile value was written"
docs=$HOME/Documents
[ -d "$docs" ] || docs=$HOME
[ -d "$docs/ZRNProfile" ] || fail "no profile folder in $docs"
for n in 1 2 3 4 5; do [ -d "$docs/ZRNProfile/ZRNProfile${n}_Macros" ] || fail "no macro folder $n"; done
pass "first start: group 30964 bytes, settings 30954 bytes, folders created"

start_and_stop "$app"
[ "$(value_hex "$key" ProfileSettingGroup.pfd)" = "$group" ] || fail "group record changed on the second start"
[ "$(value_hex "$key" allsettings.pfd)" = "$all" ] || fail "settings record changed on the second start"
pass "second start leaves both values byte-identical"

"$WINE64" reg add "$key" /v allsettings.pfd /t REG_BINARY /d 0badc0ffee /f >/dev/null 2>&1
start_and_stop "$app"
[ "$(value_hex "$key" allsettings.pfd)" = "0BADC0FFEE" ] || fail "garbage value was overwritten: $(value_hex "$key" allsettings.pfd)"
pass "a garbage settings value neither crashes the monitor nor is overwritten"

printf '[options]\r\nProfileRegFolder=OtherMouse\r\nprofileFolder=OtherProfiles\r\nprofilePrefix=Pro\r\n' > "$app/config.ini"
start_and_stop "$app"
other=$(value_hex 'HKCU\software\OtherMouse' ProfileSettingGroup.pfd)
[ $(( ${#other} / 2 )) = 30964 ] || fail "config.ini registry folder not obeyed"
[ -d "$docs/OtherProfiles/Pro3_Macros" ] || fail "config.ini folder and prefix not obeyed"
pass "config.ini names another registry folder, profile folder and prefix"
