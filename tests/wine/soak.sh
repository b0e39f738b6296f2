#!/usr/bin/env bash
# Soak of the monitor program under Wine: the real x64 monitor with the
# stand-in device and the stand-in configuration window takes REPORTS key and
# status reports mixed with ARRIVALS device arrivals in ROUNDS bursts, the
# configuration window's 7035/7037 every 300 ms, and another process posting
# its worst all along; then it ends through the tray menu's Exit.
#   soak.sh [REPORTS [ARRIVALS [ROUNDS]]]      (defaults 10000 1000 50)
# Each round is a burst of arrivals (SendMessage, so each is handled before
# the next; the monitor collapses arrivals closer than 1500 ms into one
# restart of reading, so a round restarts reading once) while half the
# round's reports go out, lost or not: other buttons and malformed reports.
# Once the new reader has the device, the other half goes out and is
# counted: mute presses, other buttons, profile switches, device values,
# malformed reports. A run restarts reading ROUNDS times after the first
# start.
# Checks: each counted mute press toggled the microphone exactly once, by
# turns; every counted switch and device value reached the configuration
# window; "ProfileID" is the last switch's; the device never had two readers
# at once; handles and private memory at the end are within a small margin
# of their values after the first tenth of the reports; exit code 0 and no
# exception in the debugger output.
source "$(dirname "$0")/lib.sh"
fresh_registry

reports=${1:-10000} arrivals=${2:-1000} rounds=${3:-50}
per_round=$((reports / rounds)) arrivals_per_round=$((arrivals / rounds))
[ $((per_round / 2)) -ge 10 ] || fail "at least 20 reports a round"
key='software\software\zrngmmouse'
app=$(new_install)
cp "$BIN/VXMMON_STANDIN.EXE" "$app/"
cp "$BIN/cfgstub.exe" "$app/VXMCFG.EXE"
work=$VXM_WINE_SESSION/soak
mkdir -p "$work"
log=$work/monitor-debug.log
cfglog=$app/VXMCFG.EXE.log
dev=$work/device.out
# A failed soak leaves its logs behind.
fail() {
  echo "FAIL: $*"
  local keep=${VXM_ARTIFACTS:-$VXM_WINE_SESSION}/soak-failed
  rm -rf "$keep" && mkdir -p "$keep" && cp "$work"/*.out "$log" "$cfglog" "$keep/" 2>/dev/null
  echo "logs in $keep"
  exit 1
}
count() { local n; n=$(grep -c -- "$2" "$1" 2>/dev/null); echo "${n:-0}"; }
wait_count() {  # FILE PATTERN N SECONDS: waits until PATTERN shows N times
  local end=$(($(date +%s) + $4))
  while [ "$(count "$1" "$2")" -lt "$3" ]; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.1
  done
}
connections() { count "$dev" '^connected'; }
profile_id() {
  "$WINE64" reg query "HKCU\\$key" /v ProfileID 2>/dev/null | tr -d '\r' | awk '$1 == "ProfileID" { print $3 }'
}

# Button 10 is the microphone mute in all five profiles, whichever is current
# after a reload; every other button does nothing.
for n in 1 2 3 4 5; do
  PROBE regbin "$key" "ZRNProfile$n.pfd" 140072 $((872 + 4080 * 10 + 4062)) 28 || fail "cannot write profile $n"
done

"$WINE64" "$app/VXMCFG.EXE" --reload-every 300 &
PROBE wait-window TVXMCFGMAIN 15000 || fail "stand-in configuration window did not start"
mkfifo "$work/device.in"
"$WINE64" "$BIN/probe.exe" device '\\.\pipe\vxm-soak' <"$work/device.in" >"$dev" 2>/dev/null &
exec 7>"$work/device.in"
VXM_STANDIN_PIPE='\\.\pipe\vxm-soak' "$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$log")" \
  "$(winepath -w "$app/VXMMON_STANDIN.EXE")" &
mon=$!
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
wait_count "$dev" '^connected' 1 20 || fail "the monitor did not open the device within 20 s"

# Reports, one hex line each (report ID first, 8 bytes for a well-formed one).
RANDOM=1507
mute='07 00 04 00 00 00 00 00'
other_button() {  # any of the 19 buttons but 10
  local i=$((RANDOM % 18))
  [ $i -ge 10 ] && i=$((i + 1))
  local m=$((1 << i))
  printf '07 %02X %02X %02X 00 00 00 00\n' $((m & 255)) $(((m >> 8) & 255)) $(((m >> 16) & 255))
}
malformed() {
  case $((RANDOM % 8)) in
    0) # a short report: 1 to 7 bytes of a key or status report
      local n=$((1 + RANDOM % 7)) out
      out=$(printf '%02X' $((7 + RANDOM % 2)))
      for _ in $(seq 2 "$n"); do out+=$(printf ' %02X' $((RANDOM % 256))); done
      echo "$out" ;;
    1) # a long one, its tail no report of its own (0xFF is no report ID)
      local n=$((9 + RANDOM % 40)) out='07 00 04'
      for _ in $(seq 4 "$n"); do out+=' FF'; done
      echo "$out" ;;
    2) printf '%02X 00 04 00 00 00 00 00\n' "$(((RANDOM % 2) ? 0 : (9 + RANDOM % 247)))" ;;  # another ID
    3) printf '07 %02X %02X %02X 00 00 00 00\n' 3 $((RANDOM % 256)) 128 ;;              # several buttons at once
    4) echo '07 00 00 00 00 00 00 00' ;;                                               # no button
    5) printf '08 01 %02X 00 00 00 00 00\n' $((5 + RANDOM % 251)) ;;                     # no such profile
    6) printf '08 %02X %02X 00 00 00 00 00\n' $((3 + RANDOM % 253)) $((RANDOM % 256)) ;; # no such status
    7) echo 'FF FF FF FF FF FF FF FF' ;;
  esac
}
mutes_sent=0 switches_sent=0 values_sent=0 last_profile='' reports_sent=0

hostile_ms=$((rounds * 2600))
(PROBE hostile "$hostile_ms" >"$work/hostile.out") &
hostile=$!
restarts_wanted=$(connections)
first_stats='' first_mem=''
t_start=$(now_ms)
for round in $(seq "$rounds"); do
  # Churn: a burst of arrivals with reports that may be lost in the restart.
  before=$(connections)
  (PROBE arrive "$arrivals_per_round" 0 >"$work/arrive.out") &
  burst=$!
  for _ in $(seq $((per_round / 2))); do
    if [ $((RANDOM % 5)) -lt 2 ]; then other_button; else malformed; fi
  done >&7
  reports_sent=$((reports_sent + per_round / 2))
  wait "$burst" || fail "round $round: arrivals not delivered: $(cat "$work/arrive.out")"
  after_burst=$(connections)
  # The restart comes 1500 ms after the burst's last arrival.
  wait_count "$dev" '^connected' $((after_burst + 1)) 20 ||
    fail "round $round: no restart of reading after $arrivals_per_round arrivals"
  restarts_wanted=$((restarts_wanted + 1))
  [ "$before" -lt "$after_burst" ] && echo "round $round: reading restarted during its burst as well"
  sleep 0.2
  # Counted: the new reader has the device.
  stable=$((per_round - per_round / 2))
  for _ in $(seq "$stable"); do
    r=$((RANDOM % 20))
    if [ $r -lt 6 ]; then
      echo "$mute"; mutes_sent=$((mutes_sent + 1))
    elif [ $r -lt 10 ]; then
      last_profile=$((RANDOM % 5)); printf '08 01 %02X 00 00 00 00 00\n' "$last_profile"
      switches_sent=$((switches_sent + 1))
    elif [ $r -lt 13 ]; then
      printf '08 02 %02X 00 00 00 00 00\n' $((RANDOM % 256)); values_sent=$((values_sent + 1))
    elif [ $r -lt 16 ]; then
      other_button
    else
      malformed
    fi
  done >&7
  reports_sent=$((reports_sent + stable))
  wait_count "$log" 'KeyIndex = 10 postmessage record!' "$mutes_sent" 30 ||
    fail "round $round: $(count "$log" 'KeyIndex = 10 postmessage') of $mutes_sent mute presses decoded"
  wait_count "$cfglog" '^7040 ' "$switches_sent" 30 ||
    fail "round $round: $(count "$cfglog" '^7040 ') of $switches_sent profile switches reached the configuration window"
  wait_count "$cfglog" '^7042 ' "$values_sent" 30 ||
    fail "round $round: $(count "$cfglog" '^7042 ') of $values_sent device values reached the configuration window"
  if [ -z "$first_stats" ] && [ $((reports_sent * 10)) -ge "$reports" ]; then
    first_stats=$(process_stats TVXMMONMAIN VXMMON_STANDIN.EXE) || fail "cannot read the monitor's handles and memory"
    first_mem="after $reports_sent reports"
  fi
done
t_rounds=$(now_ms)
wait "$hostile" || true
end_stats=$(process_stats TVXMMONMAIN VXMMON_STANDIN.EXE) || fail "cannot read the monitor's handles and memory at the end"
echo "stats" >&7
wait_count "$dev" '^connections ' 1 10 || fail "the stand-in device did not answer"
device_stats=$(grep '^connections ' "$dev" | tail -1 | tr -d '\r')

# Exit, through the tray menu as a user does: "Exit" is its last item.
tray=$(xdotool search --name "Wine System Tray" | head -1)
[ -n "$tray" ] || fail "no Wine System Tray window"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove --sync $((X + 12)) $((Y + 12)) click 3
sleep 1.5
xdotool key Up Return
for _ in $(seq 150); do kill -0 "$mon" 2>/dev/null || break; sleep 0.1; done
rc=0
wait "$mon" || rc=$?
exec 7>&-

toggles=$(count "$log" '^MicrophoneMute: \(muted\|unmuted\)$')
echo "reports $reports_sent ($mutes_sent mute presses, $switches_sent profile switches, $values_sent device values)," \
  "arrivals $((arrivals_per_round * rounds)) in $rounds bursts, $(( (t_rounds - t_start) / 1000 )) s"
echo "device: $device_stats (restarts of reading wanted: $restarts_wanted)"
echo "hostile messages sent: $(cat "$work/hostile.out"); 7035/7037 from the configuration window: $(count "$cfglog" '^posted ')"
echo "handles and private bytes $first_mem: $first_stats; at the end: $end_stats"
echo "microphone toggles: $toggles; ProfileID $(profile_id), last switch $last_profile; exit code $rc"

grep -q '^exception' "$log" && { grep '^exception' "$log" | sort | uniq -c | head; fail "exceptions in the monitor"; }
[ "$rc" = 0 ] || fail "monitor exit code $rc"
pass "Exit through the tray menu ends with 0, no exception in the debugger output"
[ "$toggles" = "$mutes_sent" ] || fail "$toggles toggles for $mutes_sent mute presses"
bad=$(grep '^MicrophoneMute: \(muted\|unmuted\)$' "$log" | awk '{ want = NR % 2 ? "muted" : "unmuted" } $2 != want { n++ } END { print n + 0 }')
[ "$bad" = 0 ] || fail "the toggles do not go muted, unmuted by turns ($bad out of turn)"
grep -q 'MicrophoneMute: not changed' "$log" && fail "a toggle failed"
pass "$mutes_sent mute presses toggled the microphone once each, by turns"
[ "$(count "$cfglog" '^7040 ')" = "$switches_sent" ] || fail "7040s: $(count "$cfglog" '^7040 ') for $switches_sent switches"
[ "$(count "$cfglog" '^7042 ')" = "$values_sent" ] || fail "7042s: $(count "$cfglog" '^7042 ') for $values_sent values"
[ "$(profile_id)" = "0x$last_profile" ] || fail "ProfileID $(profile_id), the last switch said $last_profile"
pass "every switch and device value reached the configuration window; ProfileID is the last switch's ($last_profile)"
read -r _ total _ live _ most <<<"$device_stats"
[ "$most" = 1 ] || fail "the device had $most readers at once"
[ "$total" -ge "$restarts_wanted" ] || fail "$total connections for $restarts_wanted restarts"
pass "never two readers at once over $total connections"
read -r _ h0 _ p0 <<<"$first_stats"
read -r _ h1 _ p1 <<<"$end_stats"
# A margin for what Wine and the system libraries keep on their own.
[ "$h1" -le $((h0 + 16)) ] || fail "handles grew from $h0 to $h1"
[ "$p1" -le $((p0 + p0 / 20 + 4194304)) ] || fail "private bytes grew from $p0 to $p1"
pass "handles $h0 -> $h1, private bytes $p0 -> $p1"
