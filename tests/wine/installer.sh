#!/usr/bin/env bash
# The x64 installer in a prefix of its own: a silent install (files, Start
# menu, Uninstall key, Run value) that starts the monitor with its tray icon;
# an upgrade over a running monitor that ends it in order, replaces its files,
# keeps the user's config.ini and starts the new one; a monitor that does not
# end is reported and left running. Files in use by another program: one held
# before the monitor is asked stops the installation with the monitor left
# alone, one still held once it ended stops it with the monitor started again;
# nothing is replaced either way. An uninstall that leaves a file in use exits
# 3010, and the reinstall before the restart cancels its deferred delete, so
# the new file survives the restart (and the Run value starts the monitor). A
# failure half-way puts the previous files back. An installation into another
# folder removes the previous one and takes its user files along; the old
# folder's uninstaller afterwards leaves the new installation's entries. A
# silent uninstall that keeps the user's files asks for no restart and leaves
# the profile records and folders byte-identical; a config.ini as installed
# goes with the rest.
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
# The paths of the operations the system carries out at the next start, one
# a line (read from an export: "reg query" cannot tell a path's "\0409" from
# the list's separators).
pending() {
  local f=$VXM_WINE_SESSION/session-manager.reg
  "$WINE64" reg export 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' "$(winepath -w "$f")" /y \
    >/dev/null 2>&1 || return 0
  python3 - "$f" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-16").read()
m = re.search(r'^"PendingFileRenameOperations"=hex\(7\):([0-9a-f,\\\s]*)', text, re.M)
if m:
    data = bytes(int(b, 16) for b in re.sub(r"[\\\s]", "", m.group(1)).split(",") if b)
    for path in data.decode("utf-16-le").split("\0"):
        path = path.lstrip("!")
        if path:
            print(path[4:] if path.startswith("\\??\\") else path)
PY
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
monitor_pid() { monitor_exe | cut -d' ' -f1; }
no_monitor() { [ "$(PROBE count TVXMMONMAIN)" = 0 ]; }
# Runs a Windows command line as it stands and waits (never without a bound);
# its standard error (what a silent run says) lands in $said. Prints the whole
# exit code: Wine hands a Linux shell only its low byte (3010 would read 194).
said=$VXM_WINE_SESSION/installer-said.txt
win_run() {  # COMMANDLINE
  timeout 120 "$WINE64" "$BIN/probe.exe" run "$1" 2>"$said" | tr -d '\r' | sed -n 's/^exit //p'
  sed -i 's/\r$//' "$said"
}
wsetup=$(winepath -w "$setup")
setup_run() { win_run "\"$wsetup\" $*"; }
# An uninstaller is waited for (and gives its exit code) when a copy of it
# outside the folder runs for the folder (_?=).
uninstall_waited() {  # FOLDER WINFOLDER
  mkdir -p "$VXM_WINE_SESSION/uninstaller"
  cp "$1/VXMMON-Uninstall.exe" "$VXM_WINE_SESSION/uninstaller/"
  win_run "\"$(winepath -w "$VXM_WINE_SESSION/uninstaller/VXMMON-Uninstall.exe")\" /S _?=$2"
}
same_as_stage() {  # DIR
  for f in VXMMON.EXE uiHook.dll VXMLANGEDIT.EXE images/0409/icons/logo.ico; do
    cmp -s "$stage/$f" "$1/$f" || return 1
  done
}
snapshot() {  # the profile records and the documents folders, as bytes
  "$WINE64" reg export "$pkey" "$(winepath -w "$1.reg")" /y >/dev/null 2>&1 || fail "cannot export $pkey"
  (cd "$docs" && find . -printf '%y %p %s %m\n' | sort && find . -type f -exec sha256sum {} + | sort) >"$1.files"
}
restart_windows() {
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w
  "$WINE64" wineboot >/dev/null 2>&1
}
end_all() {
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w
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
end_all
wait || true
[ ! -e "$app" ] || fail "the cancelled installer wrote files"
pass "interactive pages: $VXM_ARTIFACTS/installer-folder.png, installer-components.png"

# 1. Silent install into the fresh prefix.
rc=$(setup_run /S)
[ "$rc" = 0 ] || fail "silent install exit code $rc: $(cat "$said")"
same_as_stage "$app" || fail "installed files differ from the staged ones"
cmp -s "$stage/config.ini" "$app/config.ini" || fail "config.ini not installed"
[ -f "$app/VXMMON-Uninstall.exe" ] || fail "no uninstaller"
[ -f "$menu" ] || fail "no Start-menu entry"
[ -z "$(ls "$app" | grep -E '\.(new|old)$')" ] || fail "left over: $(ls "$app")"
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
import -window root "$VXM_ARTIFACTS/installer-tray.png"
pass "the installed monitor runs with its tray icon ($VXM_ARTIFACTS/installer-tray.png)"
end_all

# 3. Upgrade over a running monitor. The running one is a different build
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
oldpid=$(monitor_pid)
rc=$(setup_run /S)
[ "$rc" = 0 ] || fail "upgrade exit code $rc: $(cat "$said")"
oldrc=0
wait "$old" || oldrc=$?
[ "$oldrc" = 0 ] || fail "the old monitor ended with $oldrc"
grep -q '^7036 0 0' "$cfg/VXMCFG.EXE.log" || fail "the configuration window did not receive 7036"
same_as_stage "$app" || fail "the running monitor's files were not replaced"
cmp -s "$VXM_WINE_SESSION/user-config.ini" "$app/config.ini" || fail "the user's config.ini was overwritten"
PROBE wait-window TVXMMONMAIN 20000 || fail "the new monitor was not started"
newpid=$(monitor_pid)
[ "$newpid" != "$oldpid" ] || fail "still the old monitor ($oldpid)"
wait_until 100 tray_shown || fail "the new monitor shows no tray icon"
[ "$(reg_value "$rkey" VXMMON)" = "\"$winapp\\VXMMON.EXE\"" ] || fail "Run value lost on upgrade"
pass "upgrade: the running monitor ended in order (7036, exit 0), files replaced, config.ini kept, new monitor $newpid"

# 4. A monitor that does not end when asked is reported (exit code 2 of an
# aborted silent run), left running, and nothing is replaced.
end_all
echo garbage >"$app/VXMLANGEDIT.EXE"
"$WINE64" "$BIN/probe.exe" stubborn TVXMMONMAIN >/dev/null 2>&1 &
stubborn=$!
PROBE wait-window TVXMMONMAIN 15000 || fail "stubborn window did not appear"
t0=$(now_ms)
rc=$(setup_run /S)
t1=$(now_ms)
echo "the installer gave up after $((t1 - t0)) ms"
[ "$rc" = 2 ] || fail "installer over a monitor that does not end: exit code $rc"
kill -0 "$stubborn" 2>/dev/null && [ "$(PROBE count TVXMMONMAIN)" = 1 ] || fail "the monitor was ended by force"
[ "$(cat "$app/VXMLANGEDIT.EXE")" = garbage ] || fail "files were replaced while the monitor ran"
pass "a monitor that does not end is reported (exit code 2 after $((t1 - t0)) ms), not killed, nothing replaced"
end_all
wait "$stubborn" 2>/dev/null || true

# 5. Files in use by another program. Back to a complete installation with
# the config.ini as shipped; the monitor that runs is the stand-in build in
# the installed name again and logo.ico carries a mark, which shows whether
# the first or the last file would have been replaced.
rm "$app/config.ini"
rc=$(setup_run /S)
[ "$rc" = 0 ] || fail "reinstall exit code $rc"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started after reinstall"
end_all
cp "$BIN/VXMMON_STANDIN.EXE" "$app/VXMMON.EXE"
printf mark >>"$app/images/0409/icons/logo.ico"
"$WINE64" "$app/VXMMON.EXE" &
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started"
replaced_nothing() {
  cmp -s "$BIN/VXMMON_STANDIN.EXE" "$app/VXMMON.EXE" && [ "$(tail -c 4 "$app/images/0409/icons/logo.ico")" = mark ]
}

# The translation editor runs its VXMLANGEDIT.EXE: seen before the monitor is
# asked, which stays as it is.
"$WINE64" "$app/VXMLANGEDIT.EXE" &
editor=$!
PROBE wait-window TuiLanguageDesignForm 20000 || fail "the translation editor did not start"
before=$(monitor_pid)
rc=$(setup_run /S)
[ "$rc" = 32 ] || fail "upgrade with the editor running: exit code $rc"
grep -qF "$winapp\\VXMLANGEDIT.EXE: in use by VXMLANGEDIT.EXE (process " "$said" ||
  fail "the installer did not say what holds which file: $(cat "$said")"
[ "$(monitor_pid)" = "$before" ] || fail "the monitor was ended ($before, now $(monitor_pid))"
replaced_nothing || fail "files were replaced"
pass "a program in use by another stops the installation (exit code 32) before the monitor is asked: $(head -2 "$said" | tail -1)"
kill "$editor"
wait "$editor" 2>/dev/null || true

# A program that has loaded uiHook.dll beside the monitor: seen once the
# monitor has ended, which is then started again.
cp "$BIN/hookrec.exe" "$app/"
hooklog=$VXM_WINE_SESSION/installer-hookrec.log
"$WINE64" "$app/hookrec.exe" combo "$(winepath -w "$hooklog")" &
hookrec=$!
wait_until 100 grep -q ready "$hooklog" 2>/dev/null || fail "hookrec did not start"
grep -q '^loaded' "$hooklog" || fail "hookrec did not load uiHook.dll"
before=$(monitor_pid)
rc=$(setup_run /S)
[ "$rc" = 32 ] || fail "upgrade with uiHook.dll loaded elsewhere: exit code $rc"
grep -qF "$winapp\\uiHook.dll: in use by hookrec.exe (process " "$said" ||
  fail "the installer did not say what holds uiHook.dll: $(cat "$said")"
grep -q "^The monitor was started again" "$said" || fail "the installer did not say it started the monitor again"
PROBE wait-window TVXMMONMAIN 20000 || fail "the monitor was not started again"
[ "$(monitor_pid)" != "$before" ] && [[ "$(monitor_exe)" == *"$winapp\\VXMMON.EXE" ]] ||
  fail "the monitor that runs: $(monitor_exe) (before: $before)"
replaced_nothing || fail "files were replaced"
pass "uiHook.dll loaded by another program stops the installation (exit code 32), the monitor started again"

# 6. With uiHook.dll still loaded, the uninstall leaves it for the restart
# (exit code 3010) and removes the rest, the config.ini as shipped included.
rc=$(uninstall_waited "$app" "$winapp")
[ "$rc" = 3010 ] || fail "uninstall with a file in use: exit code $rc"
[ -f "$app/uiHook.dll" ] || fail "uiHook.dll is gone"
[ ! -e "$app/config.ini" ] || fail "the config.ini as installed stayed"
[ ! -e "$app/VXMMON.EXE" ] && [ ! -e "$app/VXMMON-Uninstall.exe" ] || fail "left: $(ls "$app")"
pending | grep -qxF "$winapp\\uiHook.dll" || fail "no delete at the next start: $(pending)"
"$WINE64" reg query "$ukey" >/dev/null 2>&1 && fail "Uninstall key left"
pass "uninstall with uiHook.dll in use: exit code 3010, uiHook.dll deleted at the next start"
kill "$hookrec"
wait "$hookrec" 2>/dev/null || true
rm "$app/hookrec.exe"

# The reinstall before the restart cancels that delete: the new uiHook.dll
# survives the restart, where the Run value starts the monitor.
rc=$(setup_run /S)
[ "$rc" = 0 ] || fail "reinstall exit code $rc: $(cat "$said")"
! pending | grep -qiF "$winapp" || fail "a deferred operation still names the installation: $(pending)"
restart_windows
PROBE wait-window TVXMMONMAIN 20000 || fail "the Run value did not start the monitor"
[[ "$(monitor_exe)" == *"$winapp\\VXMMON.EXE" ]] || fail "started from the Run value: $(monitor_exe)"
same_as_stage "$app" || fail "the installation after the restart: $(ls "$app")"
pass "the reinstall cancels the deferred delete: uiHook.dll survives the restart, the monitor starts with Windows"

# 7. A failure half-way: a folder in the way of logo.ico's backup name makes
# the last replacement fail after the programs were replaced; they are put
# back and the monitor started again.
echo "old editor" >"$app/VXMLANGEDIT.EXE"
mkdir "$app/images/0409/icons/logo.ico.old"
before=$(monitor_pid)
rc=$(setup_run /S)
[ "$rc" = 1603 ] || fail "a failure half-way: exit code $rc"
[ "$(cat "$app/VXMLANGEDIT.EXE")" = "old editor" ] || fail "VXMLANGEDIT.EXE was not put back"
cmp -s "$stage/VXMMON.EXE" "$app/VXMMON.EXE" && cmp -s "$stage/uiHook.dll" "$app/uiHook.dll" || fail "programs lost"
[ -z "$(cd "$app" && find . -name '*.new' -o -name '*.old' -type f)" ] || fail "left over: $(cd "$app" && find .)"
grep -q "previous files were restored" "$said" || fail "the installer did not say so: $(cat "$said")"
PROBE wait-window TVXMMONMAIN 20000 && [ "$(monitor_pid)" != "$before" ] || fail "the monitor was not started again"
pass "a failure half-way (exit code 1603): the previous files put back, the monitor started again"
rmdir "$app/images/0409/icons/logo.ico.old"

# 8. An installation into another folder (a space in the path, /D= last and
# unquoted) removes the previous one and takes its user files along: the
# translator's ui.local and a config.ini the user changed.
echo "translated" >"$app/ui.local"
printf '; mine\r\n' >>"$app/config.ini"
cp "$app/config.ini" "$VXM_WINE_SESSION/user-config.ini"
cp "$app/VXMMON-Uninstall.exe" "$VXM_WINE_SESSION/old-uninstaller.exe"
other="$drive/Mouse Tools/Monitor"
winother='C:\Mouse Tools\Monitor'
rc=$(setup_run "/S /D=$winother")
[ "$rc" = 0 ] || fail "install into another folder: exit code $rc: $(cat "$said")"
same_as_stage "$other" || fail "/D= not obeyed"
[ ! -e "$app" ] || fail "the previous installation is still there: $(ls -A "$app")"
[ "$(cat "$other/ui.local")" = translated ] || fail "ui.local not taken along"
cmp -s "$VXM_WINE_SESSION/user-config.ini" "$other/config.ini" || fail "the user's config.ini not taken along"
[ "$(reg_value "$rkey" VXMMON)" = "\"$winother\\VXMMON.EXE\"" ] || fail "Run value: $(reg_value "$rkey" VXMMON)"
[ "$(reg_value "$ukey" InstallLocation)" = "$winother" ] || fail "InstallLocation: $(reg_value "$ukey" InstallLocation)"
[ -f "$menu" ] || fail "no Start-menu entry"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started from the new folder"
[[ "$(monitor_exe)" == *"$winother\\VXMMON.EXE" ]] || fail "running monitor: $(monitor_exe)"
pass "install into another folder: the previous one removed, ui.local and the user's config.ini taken along"

# The old folder's uninstaller, run afterwards, leaves what is not its own.
mkdir -p "$app"
cp "$VXM_WINE_SESSION/old-uninstaller.exe" "$app/VXMMON-Uninstall.exe"
running=$(monitor_pid)
rc=$(uninstall_waited "$app" "$winapp")
[ "$rc" = 0 ] || fail "the old folder's uninstaller: exit code $rc"
[ "$(reg_value "$ukey" InstallLocation)" = "$winother" ] || fail "the new installation's Uninstall key was removed"
[ "$(reg_value "$rkey" VXMMON)" = "\"$winother\\VXMMON.EXE\"" ] || fail "the new installation's Run value was removed"
[ -f "$menu" ] || fail "the new installation's Start-menu entry was removed"
[ "$(monitor_pid)" = "$running" ] || fail "the new installation's monitor was ended"
pass "the old folder's uninstaller leaves the new installation's key, Start-menu entry, Run value and monitor"

# 9. Silent uninstall while the monitor runs, with a first start's profile
# records and folders: the folder keeps the user's files and no restart is
# asked (exit code 0, no deferred operation).
docs=$HOME/Documents
[ -d "$docs" ] || docs=$HOME
wait_until 100 test -d "$docs/ZRNProfile/ZRNProfile5_Macros" || fail "no profile folders in $docs"
wait_until 100 bash -c "'$WINE64' reg query '$pkey' /v allsettings.pfd >/dev/null 2>&1" || fail "no profile records"
"$WINE64" "$cfg/VXMCFG.EXE" &
PROBE wait-window TVXMCFGMAIN 15000 || fail "stand-in configuration window did not start"
snapshot "$VXM_WINE_SESSION/before"
: >"$cfg/VXMCFG.EXE.log"
rc=$(uninstall_waited "$other" "$winother")
[ "$rc" = 0 ] || fail "uninstall that keeps the user's files: exit code $rc"
[ "$(ls -A "$other" | tr '\n' ' ')" = "config.ini ui.local " ] || fail "left in the folder: $(ls -A "$other")"
! pending | grep -qiF "$winother" || fail "a restart is asked for: $(pending)"
wait_until 100 no_monitor || fail "the monitor still runs"
grep -q '^7036 0 0' "$cfg/VXMCFG.EXE.log" || fail "the uninstaller did not end the monitor in order"
[ ! -e "$menu" ] || fail "Start-menu entry left"
"$WINE64" reg query "$ukey" >/dev/null 2>&1 && fail "Uninstall key left"
[ -z "$(reg_value "$rkey" VXMMON)" ] || fail "Run value left"
wait_until 100 tray_hidden || fail "the tray icon is still shown"
snapshot "$VXM_WINE_SESSION/after"
cmp -s "$VXM_WINE_SESSION/before.reg" "$VXM_WINE_SESSION/after.reg" || fail "the profile records changed"
cmp -s "$VXM_WINE_SESSION/before.files" "$VXM_WINE_SESSION/after.files" || fail "the profile folders changed"
pass "silent uninstall: exit code 0, ui.local and the changed config.ini kept, no restart; profile records and folders byte-identical"

# 10. The same folder spelt another way is an upgrade, not a previous
# installation to remove. The uninstaller as Windows runs it (it goes on from
# a copy in the temporary folder): a config.ini as installed goes, and the
# folder with it.
rm -r "$other"
rc=$(setup_run "/S /D=$winother")
[ "$rc" = 0 ] || fail "install exit code $rc"
rc=$(setup_run "/S /D=C:\Mouse Tools\..\Mouse Tools\Monitor")
[ "$rc" = 0 ] && same_as_stage "$other" || fail "the same folder spelt another way: exit code $rc, $(ls -A "$other")"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor not started"
rc=$(win_run "$(reg_value "$ukey" QuietUninstallString)")
[ "$rc" = 0 ] || fail "QuietUninstallString: exit code $rc"
wait_until 300 test ! -e "$other" || fail "the program folder is still there: $(ls -A "$other")"
pass "the same folder by another path is upgraded; uninstall by QuietUninstallString: the folder with its config.ini as installed is gone"
