#!/usr/bin/env bash
# The translation editor under Wine: it opens on a ui.local beside it and
# shows its tabs; saving writes a file that the monitor then loads first.
# Also the About page rendered in "CH".
source "$(dirname "$0")/lib.sh"
fresh_registry

app=$(new_install)
python3 - "$app/ui.local" <<'PY'
import struct, sys
def s(t):
    b = t.encode("utf-16-le")
    return struct.pack("<i", len(b) // 2) + b
langs = [("040a", "Exit=Salir\r\n"), ("0409", "Exit=Exit\r\n")]
data = s("Config\r\nExit\r\n") + struct.pack("<I", len(langs))
for name, table in langs:
    data += s(name) + s(table)
open(sys.argv[1], "wb").write(data)
PY
before=$(md5sum "$app/ui.local" | cut -d' ' -f1)

"$WINE64" "$app/VXMLANGEDIT.EXE" &
PROBE wait-window TuiLanguageDesignForm 20000 || fail "the editor did not open"
sleep 1.5
mkdir -p "$VXM_ARTIFACTS"
import -window root "$VXM_ARTIFACTS/editor.png"
pass "the editor opens on ui.local (artifacts/editor.png)"

PROBE post TuiLanguageDesignForm 0x0111 107 0   # "Save to language file"
for _ in $(seq 50); do [ "$(md5sum "$app/ui.local" | cut -d' ' -f1)" != "$before" ] && break; sleep 0.1; done
[ "$(md5sum "$app/ui.local" | cut -d' ' -f1)" != "$before" ] || fail "saving did not rewrite ui.local"
PROBE wait-window TuiLanguageDesignForm 100 || fail "the editor on its own file should stay open"
PROBE post TuiLanguageDesignForm 0x0010 0 0
pass "saving from the editor rewrites ui.local"

log=$VXM_WINE_SESSION/editor-monitor.log
start_debugged "$log" "$app/VXMMON.EXE"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
for _ in $(seq 50); do grep -q '^language ' "$log" && break; sleep 0.1; done
grep -q '^language 040a: Config | Salir$' "$log" || fail "the saved file was not loaded first: $(grep '^language' "$log")"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "the monitor loads the saved ui.local first (menu: Config | Salir)"

fresh_registry
about=$(new_install)
cp "$BIN/VXMMON_STANDIN.EXE" "$about/"
VXM_SHOW_ABOUT=1 "$WINE64" "$about/VXMMON_STANDIN.EXE" &
PROBE wait-visible TVXMMONMAIN 20000 || fail "the About page was not shown"
sleep 1.5
import -window root "$VXM_ARTIFACTS/about-ch.png"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "the About page in CH (artifacts/about-ch.png)"

# Its OK caption "确定" (face "Myriad Pro", absent here) must show glyphs, not
# boxes: held against the same text in the labels' face and in the missing face.
refs=$VXM_WINE_SESSION/caption
mkdir -p "$refs"
"$WINE64" "$BIN/textshot.exe" Tahoma 13 700 94 27 "确定" "$(winepath -w "$refs/glyphs.pgm")"
"$WINE64" "$BIN/textshot.exe" "Myriad Pro" 13 700 94 27 "确定" "$(winepath -w "$refs/boxes.pgm")"
result=$(python3 "$VXM_SOURCE/tests/wine/tools/caption_check.py" "$VXM_ARTIFACTS/about-ch.png" "$refs/glyphs.pgm" \
  "$refs/boxes.pgm" "$VXM_ARTIFACTS/about-ok-caption.png") || fail "the OK caption is not drawn in glyphs: $result"
pass "the OK caption 确定 is drawn in glyphs ($result; artifacts/about-ok-caption.png)"

# Opened on the monitor's own texts, the editor closes after saving, and
# keeps the languages of the ui.local beside it.
texts=$(new_install)
python3 - "$texts/ui.local" <<'PY'
import struct, sys
def s(t):
    b = t.encode("utf-16-le")
    return struct.pack("<i", len(b) // 2) + b
langs = [("040a", "Exit=Salir\r\nMy Own Text=Mi texto\r\n"), ("0804", "Exit=退出\r\n")]
data = s("Exit\r\nMy Own Text\r\n") + struct.pack("<I", len(langs))
for name, table in langs:
    data += s(name) + s(table)
open(sys.argv[1], "wb").write(data)
PY
"$WINE64" "$texts/VXMLANGEDIT.EXE" --monitor &
PROBE wait-window TuiLanguageDesignForm 20000 || fail "the editor did not open on the monitor's texts"
PROBE post TuiLanguageDesignForm 0x0111 107 0
PROBE wait-gone TuiLanguageDesignForm 10000 || fail "opened on a component, the editor should close after saving"
[ -s "$texts/ui.local" ] || fail "no ui.local written"
python3 - "$texts/ui.local" <<'PY' || fail "the saved source list lacks the monitor's texts"
import struct, sys
data = open(sys.argv[1], "rb").read()
n = struct.unpack_from("<i", data, 0)[0]
texts = data[4:4 + 2 * n].decode("utf-16-le").split("\r\n")
for t in ("GAMING MOUSE MONITOR", "GAMING MOUSE DRIVER", "Hardware Core:1.00.00", "Wheel Down(Mouse)", "My Own Text"):
    if t not in texts:
        sys.exit("missing " + t)
PY
pass "--monitor collects the window's, the About page's and the macro texts, and closes after saving"
python3 - "$texts/ui.local" <<'PY' || fail "saving from --monitor lost what ui.local held"
import struct, sys
data = open(sys.argv[1], "rb").read()
def text(pos):
    n = struct.unpack_from("<i", data, pos)[0]
    return data[pos + 4:pos + 4 + 2 * n].decode("utf-16-le"), pos + 4 + 2 * n
_, pos = text(0)
count = struct.unpack_from("<I", data, pos)[0]
pos += 4
langs = {}
for _ in range(count):
    name, pos = text(pos)
    table, pos = text(pos)
    langs[name] = table.split("\r\n")
if sorted(langs) != ["040a", "0804"]:
    sys.exit("languages saved: %s" % sorted(langs))
for name, line in (("040a", "Exit=Salir"), ("040a", "My Own Text=Mi texto"), ("0804", "Exit=退出")):
    if line not in langs[name]:
        sys.exit("%s lost %s" % (name, line))
PY
pass "--monitor over a ui.local with 040a and 0804 keeps both, with their translations, after a save"
