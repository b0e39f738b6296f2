#!/usr/bin/env bash
# The monitor's texts in the chosen language: factory settings show the
# Chinese tray menu, "US" and a 7037 show the English one, and a ui.local
# beside the program comes first in the language list.
source "$(dirname "$0")/lib.sh"
fresh_registry

key='software\software\zrngmmouse'
app=$(new_install)
log=$VXM_WINE_SESSION/language-debug.log

start_debugged "$log" "$app/VXMMON.EXE"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
for _ in $(seq 50); do grep -q '^language ' "$log" && break; sleep 0.1; done
grep -q '^language CH: 打开配置 | 退出软件$' "$log" || fail "factory settings are not Chinese: $(grep '^language' "$log")"
tray_menu_screenshot "$VXM_ARTIFACTS/tray-menu-ch.png"
pass "factory settings: CH menu 打开配置 / 退出软件 (artifacts/tray-menu-ch.png)"

# CurrentLanguage (offset 30952 of the settings record) to 1, then 7037.
PROBE regbyte "$key" allsettings.pfd 30952 1 || fail "cannot set CurrentLanguage"
PROBE post TVXMMONMAIN 7037 0 0
for _ in $(seq 50); do grep -q '^language US' "$log" && break; sleep 0.1; done
grep -q '^language US: Config | Exit$' "$log" || fail "7037 did not switch to US: $(grep '^language' "$log")"
tray_menu_screenshot "$VXM_ARTIFACTS/tray-menu-us.png"
pass "CurrentLanguage 1 and 7037: US menu Config / Exit (artifacts/tray-menu-us.png)"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true

# A ui.local with one language "DE" comes first: CurrentLanguage 1 is now "CH".
python3 - "$app/ui.local" <<'PY'
import struct, sys
def s(t):
    b = t.encode("utf-16-le")
    return struct.pack("<i", len(b) // 2) + b
table = "Config=Konfiguration\r\nExit=Beenden\r\n"
open(sys.argv[1], "wb").write(s("Config\r\nExit\r\n") + struct.pack("<I", 1) + s("DE") + s(table))
PY
rm -f "$log"
start_debugged "$log" "$app/VXMMON.EXE"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start with ui.local"
for _ in $(seq 50); do grep -q '^language ' "$log" && break; sleep 0.1; done
grep -q '^language CH: 打开配置 | 退出软件$' "$log" || fail "ui.local did not come first: $(grep '^language' "$log")"
PROBE regbyte "$key" allsettings.pfd 30952 0
PROBE post TVXMMONMAIN 7037 0 0
for _ in $(seq 50); do grep -q '^language DE' "$log" && break; sleep 0.1; done
grep -q '^language DE: Konfiguration | Beenden$' "$log" || fail "ui.local language not first: $(grep '^language' "$log")"
pass "ui.local comes first in the language list"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
