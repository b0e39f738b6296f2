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

# Large and hostile ui.local files: a 3.8 MB table of distinct lines in
# descending order loads; a file above the 8 MiB limit is skipped like a
# malformed one; a file just below it of a million empty languages loads;
# the monitor comes up every time.
fresh_registry
big=$(new_install)
big_start() {  # LOG: starts the monitor on the ui.local in $big, waits for its language line
  rm -f "$1"
  start_debugged "$1" "$big/VXMMON.EXE"
  PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
  for _ in $(seq 100); do grep -q '^language ' "$1" && break; sleep 0.1; done
}
python3 - "$big/ui.local" <<'PY'
import struct, sys
def s(t):
    b = t.encode("utf-16-le")
    return struct.pack("<i", len(b) // 2) + b
lines = ["Config=Konfiguration", "Exit=Beenden"] + ["Text %06d=Übersetzung %06d" % (i, i) for i in range(60000)]
lines.sort(reverse=True)
table = "".join(l + "\r\n" for l in lines)
open(sys.argv[1], "wb").write(s("Config\r\nExit\r\n") + struct.pack("<I", 1) + s("DE") + s(table))
PY
size=$(stat -c %s "$big/ui.local")
big_start "$VXM_WINE_SESSION/big-desc.log"
grep -q '^language DE: Konfiguration | Beenden$' "$VXM_WINE_SESSION/big-desc.log" ||
  fail "a $size-byte descending ui.local did not load: $(grep -E '^(language|ui.local)' "$VXM_WINE_SESSION/big-desc.log")"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "a $size-byte ui.local of distinct lines in descending order loads"

python3 - "$big/ui.local" <<'PY'
import struct, sys
def s(t):
    b = t.encode("utf-16-le")
    return struct.pack("<i", len(b) // 2) + b
table = "Config=Konfiguration\r\n" * 200000  # 8.8 MB, well formed
open(sys.argv[1], "wb").write(s("Config\r\n") + struct.pack("<I", 1) + s("DE") + s(table))
PY
big_start "$VXM_WINE_SESSION/big-over.log"
grep -q '^ui.local skipped: .*larger than the 8 MiB' "$VXM_WINE_SESSION/big-over.log" ||
  fail "an oversized ui.local was not skipped: $(grep -E '^(language|ui.local)' "$VXM_WINE_SESSION/big-over.log")"
grep -q '^language CH: 打开配置 | 退出软件$' "$VXM_WINE_SESSION/big-over.log" || fail "the built-in languages did not load"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "a ui.local above 8 MiB is skipped; the built-in languages load"

python3 - "$big/ui.local" <<'PY'
import struct, sys
n = (8 * 1024 * 1024 - 8) // 8
open(sys.argv[1], "wb").write(struct.pack("<iI", 0, n) + b"\0" * (8 * n))
PY
big_start "$VXM_WINE_SESSION/big-tiny.log"
grep -q '^language ' "$VXM_WINE_SESSION/big-tiny.log" || fail "a million empty languages stopped the monitor"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "a ui.local of a million empty languages (8 MiB) loads, and the monitor comes up"
