#!/usr/bin/env bash
# The real uiHook.dll under Wine: a key combination and a keyboard macro
# recorded from keys typed with xdotool, a swallowed key that never reaches
# the focused window, and the monitor's message box when the library is
# missing (once) or present (never).
source "$(dirname "$0")/lib.sh"

dir=$(mktemp -d "$VXM_WINE_SESSION/hooks.XXXXXX")
cp "$BIN/hookrec.exe" "$VXM_WIN_BUILD/stage/uiHook.dll" "$dir/"

run_recorder() {  # MODE KEYS... : types the keys into the recorder, returns its log
  local mode=$1 log=$dir/$1.log
  shift
  rm -f "$log"
  "$WINE64" "$dir/hookrec.exe" "$mode" "$(winepath -w "$log")" &
  local pid=$!
  for _ in $(seq 100); do grep -q ready "$log" 2>/dev/null && break; sleep 0.1; done
  grep -q '^loaded' "$log" || fail "$mode: uiHook.dll not loaded"
  local win
  win=$(xdotool search --sync --name '^hookrec$' | head -1)
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  sleep 0.5
  "$@"
  sleep 0.8
  PROBE post HookRecorder 0x0010 0 0
  wait "$pid" 2>/dev/null || true
}

run_recorder combo xdotool key --delay 200 ctrl+shift+a
grep -q '^combo: Ctrl+Shift+A$' "$dir/combo.log" || fail "combination not recorded: $(cat "$dir/combo.log")"
grep -q '^edit: $' "$dir/combo.log" || fail "the recorded combination reached the window"
pass "Ctrl+Shift+A recorded as a combination and swallowed"

run_recorder macro xdotool key --delay 150 a b
grep -q '^macro: 1 65 1 A Down$' "$dir/macro.log" || fail "macro: no A down: $(cat "$dir/macro.log")"
grep -q '^macro: 1 66 0 B Up$' "$dir/macro.log" || fail "macro: no B up"
grep -q '^macro: 0 [0-9]* 0 [0-9]* ms$' "$dir/macro.log" || fail "macro: no delay entry"
pass "keyboard macro: $(grep -c '^macro:' "$dir/macro.log") entries with delays"

run_recorder block xdotool type --delay 150 abc
grep -q '^hook: 66 1 blocked$' "$dir/block.log" || fail "B not reported as blocked: $(cat "$dir/block.log")"
grep -q '^edit: ac$' "$dir/block.log" || fail "the swallowed key reached the window: $(grep edit "$dir/block.log")"
pass "a swallowed key (B) does not reach the focused window"

# The monitor without uiHook.dll: one message box, then start-up goes on.
app=$(new_install)
rm -f "$app/uiHook.dll"
log=$dir/monitor-nohook.log
start_debugged "$log" "$app/VXMMON.EXE"
for _ in $(seq 100); do grep -q 'message box' "$log" 2>/dev/null && break; sleep 0.1; done
grep -q '^message box: Error: uiHook.dll can not be found!$' "$log" || fail "no message box: $(cat "$log")"
box=$(xdotool search --sync --name '^Error$' | head -1)
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key --window "$box" Return
PROBE wait-window TVXMMONMAIN 20000 || fail "start-up did not go on after the message box"
sleep 1
[ "$(grep -c 'message box' "$log")" = 1 ] || fail "message box shown $(grep -c 'message box' "$log") times"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "without uiHook.dll: the message box once, then the monitor runs"

app=$(new_install)
log=$dir/monitor-hook.log
start_debugged "$log" "$app/VXMMON.EXE"
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
sleep 1
grep -q 'message box' "$log" && fail "a message box with uiHook.dll present"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
pass "with uiHook.dll: no message box"
