#!/usr/bin/env bash
# The x64 installer in a prefix of its own: a silent install (files, Start
# menu, Uninstall key, Run value) that starts the monitor with its tray icon;
# the Run value obeyed at the next start of Windows; an upgrade over a running
# monitor that ends it in order, replaces its files, keeps the user's
# config.ini and starts the new one; a monitor that does not end is reported
# and left running; a silent uninstall that removes the program and leaves the
# profile records and folders byte-identical; /D= and a translator's ui.local;
# a file in use stops the installation rather than being skipped.
source "$(dirname "$0")/lib.sh"

setup=$VXM_WIN_BUILD/VXMMON-Setup.exe
[ -f "$setup" ] || fail "no installer at $setup (build the windows-x64 preset)"
stage=$VXM_WIN_BUILD/stage
# The installer writes HKLM's Run key, which every later start of the
# session's prefix would obey: this test has a prefix (and home) of its own.
export WINEPREFIX=$VXM_WINE_SESSION/installer-prefix HOME=$VXM_WINE_SESSION/installer-home
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
"$WINE64" wineboot -i >/dev/null 2>&1 || fail "wineboot of the installer's prefix failed"
"$WINESERVER" -w

drive=$WINEPREFIX/drive_c
app="$drive/Program Files/Gaming Mouse Monitor"
winapp='C:\Program Files\Gaming Mouse Monitor'
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Gaming Mouse Monitor.lnk"
ukey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VXMMON'
rkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
pkey='HKCU\software\software\zrngmmouse'
reg_value() {  # KEY NAME -> the value's data (REG_SZ data keeps its spaces)
  "$WINE64" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '$1 == n { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print; exit }'
}
tray_shown() { [ -n "$(xdotool search --onlyvisible --name 'Wine System Tray' 2>/dev/null | head -1)" ]; }
tray_hidden() { ! tray_shown; }
wait_until() {  # TENTHS COMMAND...: retries the command every 0.1 s
  local n=$1
  shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
monitor_exe() { PROBE exe TVXMMONMAIN; }
# The installer and the uninstaller never wait without a bound.
setup_run() { timeout 120 "$WINE64" "$setup" "$@"; }
no_monitor() { [ "$(PROBE count TVXMMONMAIN)" = 0 ]; }
same_as_stage() {  # DIR
  for f in VXMMON.EXE uiHook.dll VXMLANGEDIT.EXE images/0409/icons/logo.ico; do
    cmp -s "$stage/$f" "$1/$f" || return 1
  done
}
snapshot() {  # the profile records and the documents folders, as bytes
  "$WINE64" reg export "$pkey" "$(winepath -w "$1.reg")" /y >/dev/null 2>&1 || fail "cannot export $pkey"
  (cd "$docs" && find . -printf '%y %p %s %m\n' | sort && find . -type f -exec sha256sum {} + | sort) >"$1.files"
}

# 0. The interactive pages (screenshots); cancelled before anything is written.
"$WINE64" "$setup" &
ui=""
for _ in $(seq 100); do
  ui=$(xdotool search --onlyvisible --name "Gaming Mouse Monitor Setup" 2>/dev/null | head -1 || true)
  [ -n "$ui" ] && break
  sleep 0.2
done
[ -n "$ui" ] || fail "the interactive installer shows no window"
mkdir -p "$VXM_ARTIFACTS"
sleep 1
import -window root "$VXM_ARTIFACTS/installer-folder.png"
xdotool key --window "$ui" Return 2>/dev/null
sleep 1.5
import -window root "$VXM_ARTIFACTS/installer-components.png"
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w
wait || true
[ ! -e "$app" ] || fail "the cancelled installer wrote files"
pass "interactive pages: $VXM_ARTIFACTS/installer-folder.png, installer-components.png"

# 1. Silent install into the fresh prefix.
rc=0
setup_run /S || rc=$?
[ "$rc" = 0 ] || fail "silent install exit code $rc"
same_as_stage "$app" || fail "installed files differ from the staged ones"
cmp -s "$stage/config.ini" "$app/config.ini" || fail "config.ini not installed"
[ -f "$app/VXMMON-Uninstall.exe" ] || fail "no uninstaller"
[ -f "$menu" ] || fail "no Start-menu entry"
pass "files under Program Files, uninstaller, Start-menu entry"

[ "$(reg_value "$ukey" DisplayName)" = "Gaming Mouse Monitor" ] || fail "DisplayName: $(reg_value "$ukey" DisplayName)"
[ "$(reg_value "$ukey" DisplayVersion)" = "1.0.0.0" ] || fail "DisplayVersion: $(reg_value "$ukey" DisplayVersion)"
[ "$(reg_value "$ukey" Publisher)" = "Gaming Mouse" ] || fail "Publisher: $(reg_value "$ukey" Publisher)"
[ "$(reg_value "$ukey" DisplayIcon)" = "$winapp\\VXMMON.EXE,0" ] || fail "DisplayIcon: $(reg_value "$ukey" DisplayIcon)"
[ "$(reg_value "$ukey" UninstallString)" = "\"$winapp\\VXMMON-Uninstall.exe\"" ] ||
  fail "UninstallString: $(reg_value "$ukey" UninstallString)"
[ "$(reg_value "$ukey" InstallLocation)" = "$winapp" ] || fail "InstallLocation: $(reg_value "$ukey" InstallLocation)"
size=$(reg_value "$ukey" EstimatedSize)
kb=$(( $(du -sk --apparent-size "$app" | cut -f1) ))
[ $((size)) -gt 0 ] && [ $((size)) -ge $((kb / 2)) ] && [ $((size)) -le $((kb * 2)) ] ||
  fail "EstimatedSize $size KB for $kb KB of files"
pass "Uninstall key: name, version 1.0.0.0 from the resource, publisher, icon, $((size)) KB"

[ "$(reg_value "$rkey" VXMMON)" = "\"$winapp\\VXMMON.EXE\"" ] || fail "Run value: $(reg_value "$rkey" VXMMON)"
pass "Run value with the quoted full path"

# 2. The installed monitor was started and shows its tray icon.
PROBE wait-window TVXMMONMAIN 20000 || fail "the installer did not start the monitor"
[[ "$(monitor_exe)" == *"$winapp\\VXMMON.EXE" ]] || fail "running monitor: $(monitor_exe)"
wait_until 100 tray_shown || fail "no tray icon"
mkdir -p "$VXM_ARTIFACTS"
import -window root "$VXM_ARTIFACTS/installer-tray.png"
pass "the installed monitor runs with its tray icon ($VXM_ARTIFACTS/installer-tray.png)"

# 3. Start with Windows: the next start of this prefix obeys the Run value.
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w
"$WINE64" wineboot >/dev/null 2>&1
PROBE wait-window TVXMMONMAIN 20000 || fail "the Run value did not start the monitor"
[[ "$(monitor_exe)" == *"$winapp\\VXMMON.EXE" ]] || fail "started from the Run value: $(monitor_exe)"
pass "the monitor starts with Windows"
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w

# 4. Upgrade over a running monitor. The running one is a different build
# (the stand-in test build in the installed name), so that replacing its file
# shows; it runs under the debugger for its exit code.
cfg=$VXM_WINE_SESSION/installer-cfg
mkdir -p "$cfg"
cp "$BIN/cfgstub.exe" "$cfg/VXMCFG.EXE"
"$WINE64" "$cfg/VXMCFG.EXE" &
PROBE wait-window TVXMCFGMAIN 15000 || fail "stand-in configuration window did not start"
cp "$BIN/VXMMON_STANDIN.EXE" "$app/VXMMON.EXE"
printf '[options]\r\nProfileRegFolder=software\\zrngmmouse\r\n; edited by the user\r\n' >"$app/config.ini"
cp "$app/config.ini" "$VXM_WINE_SESSION/user-config.ini"
oldlog=$VXM_WINE_SESSION/installer-old-monitor.log
start_debugged "$oldlog" "$app/VXMMON.EXE"
old=$!
PROBE wait-window TVXMMONMAIN 20000 || fail "the old monitor did not start"
wait_until 100 tray_shown || fail "the old monitor shows no tray icon"
oldpid=$(monitor_exe | cut -d' ' -f1)
rc=0
setup_run /S || rc=$?
[ "$rc" = 0 ] || fail "upgrade exit code $rc"
oldrc=0
wait "$old" || oldrc=$?
[ "$oldrc" = 0 ] || fail "the old monitor ended with $oldrc"
grep -q '^7036 0 0' "$cfg/VXMCFG.EXE.log" || fail "the configuration window did not receive 7036"
same_as_stage "$app" || fail "the running monitor's files were not replaced"
cmp -s "$VXM_WINE_SESSION/user-config.ini" "$app/config.ini" || fail "the user's config.ini was overwritten"
PROBE wait-window TVXMMONMAIN 20000 || fail "the new monitor was not started"
newpid=$(monitor_exe | cut -d' ' -f1)
[ "$newpid" != "$oldpid" ] || fail "still the old monitor ($oldpid)"
wait_until 100 tray_shown || fail "the new monitor shows no tray icon"
[ "$(reg_value "$rkey" VXMMON)" = "\"$winapp\\VXMMON.EXE\"" ] || fail "Run value lost on upgrade"
pass "upgrade: the running monitor ended in order (7036, exit 0), files replaced, config.ini kept, new monitor $newpid"

# 5. A monitor that does not end when asked is reported (exit code 2 of an
# aborted silent run), left running, and nothing is replaced.
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w
echo garbage >"$app/VXMLANGEDIT.EXE"
"$WINE64" "$BIN/probe.exe" stubborn TVXMMONMAIN >/dev/null 2>&1 &
stubborn=$!
PROBE wait-window TVXMMONMAIN 15000 || fail "stubborn window did not appear"
t0=$(now_ms)
rc=0
setup_run /S || rc=$?
t1=$(now_ms)
echo "the installer gave up after $((t1 - t0)) ms"
[ "$rc" = 2 ] || fail "installer over a monitor that does not end: exit code $rc"
kill -0 "$stubborn" 2>/dev/null && [ "$(PROBE count TVXMMONMAIN)" = 1 ] || fail "the monitor was ended by force"
[ "$(cat "$app/VXMLANGEDIT.EXE")" = garbage ] || fail "files were replaced while the monitor ran"
pass "a monitor that does not end is reported (exit code 2 after $((t1 - t0)) ms), not killed, nothing replaced"
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w
wait "$stubborn" 2>/dev/null || true

# A file that cannot be replaced (here: the translation editor runs) stops a
# silent upgrade with exit code 2 instead of being skipped.
setup_run /S || fail "reinstall exit code $?"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started after reinstall"
"$WINE64" "$app/VXMLANGEDIT.EXE" &
PROBE wait-window TuiLanguageDesignForm 20000 || fail "the translation editor did not start"
rc=0
setup_run /S || rc=$?
[ "$rc" = 2 ] || fail "upgrade with a file in use: exit code $rc"
pass "a file in use stops a silent upgrade (exit code 2), it is not skipped"
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w

# Back to a complete installation, the monitor running with a first start's
# profile records and folders.
setup_run /S || fail "reinstall exit code $?"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started after reinstall"
docs=$HOME/Documents
[ -d "$docs" ] || docs=$HOME
wait_until 100 test -d "$docs/ZRNProfile/ZRNProfile5_Macros" || fail "no profile folders in $docs"
wait_until 100 bash -c "'$WINE64' reg query '$pkey' /v allsettings.pfd >/dev/null 2>&1" || fail "no profile records"
"$WINE64" "$cfg/VXMCFG.EXE" &
PROBE wait-window TVXMCFGMAIN 15000 || fail "stand-in configuration window did not start"

# 6. Silent uninstall while the monitor runs.
snapshot "$VXM_WINE_SESSION/before"
: >"$cfg/VXMCFG.EXE.log"
timeout 120 "$WINE64" "$app/VXMMON-Uninstall.exe" /S || fail "uninstaller exit code $?"
# It goes on from a copy in the temporary folder; its last step removes the folder.
wait_until 300 test ! -e "$app" || fail "the program folder is still there: $(ls "$app")"
wait_until 100 no_monitor || fail "the monitor still runs"
grep -q '^7036 0 0' "$cfg/VXMCFG.EXE.log" || fail "the uninstaller did not end the monitor in order"
[ ! -e "$menu" ] || fail "Start-menu entry left"
"$WINE64" reg query "$ukey" >/dev/null 2>&1 && fail "Uninstall key left"
[ -z "$(reg_value "$rkey" VXMMON)" ] || fail "Run value left"
wait_until 100 tray_hidden || fail "the tray icon is still shown"
snapshot "$VXM_WINE_SESSION/after"
cmp -s "$VXM_WINE_SESSION/before.reg" "$VXM_WINE_SESSION/after.reg" || fail "the profile records changed"
cmp -s "$VXM_WINE_SESSION/before.files" "$VXM_WINE_SESSION/after.files" || fail "the profile folders changed"
pass "silent uninstall: program, Start-menu entry, Run value and Uninstall key gone; profile records and folders byte-identical"

# 7. /D= with a space in the path; the uninstaller leaves a translator's ui.local.
# Typed as on Windows, unquoted: two arguments that Wine joins with a space.
setup_run /S '/D=C:\Mouse' 'Tools\Monitor' || fail "install with /D= exit code $?"
other="$drive/Mouse Tools/Monitor"
same_as_stage "$other" || fail "/D= not obeyed"
[ "$(reg_value "$rkey" VXMMON)" = '"C:\Mouse Tools\Monitor\VXMMON.EXE"' ] || fail "Run value: $(reg_value "$rkey" VXMMON)"
[ "$(reg_value "$ukey" InstallLocation)" = 'C:\Mouse Tools\Monitor' ] || fail "InstallLocation for /D="
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started from the /D= folder"
echo "translated" >"$other/ui.local"
timeout 120 "$WINE64" "$other/VXMMON-Uninstall.exe" /S || fail "uninstaller exit code $?"
wait_until 300 test ! -e "$other/VXMMON-Uninstall.exe" || fail "uninstall from the /D= folder did not finish"
wait_until 50 bash -c "'$WINE64' reg query '$ukey' >/dev/null 2>&1; [ \$? != 0 ]" || fail "Uninstall key left"
[ "$(ls -A "$other")" = ui.local ] || fail "left in the folder: $(ls -A "$other")"
pass "/D= folder with a space; the uninstaller leaves ui.local and nothing else of its own"
