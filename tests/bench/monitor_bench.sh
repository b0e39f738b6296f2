#!/usr/bin/env bash
# Figures of the whole monitor program under Wine (the x64 test build with
# the stand-in device), each beside a baseline measured in the same run: a
# trivial Windows program idling in GetMessage ("probe.exe idle") under the
# same Wine.
#   - time from start to the tray icon ("tray icon added" on the debugger
#     output) against the baseline's time to its first debugger line;
#   - idle wake-ups per second of the whole process (voluntary and
#     involuntary context switches summed over every thread: under Wine each
#     Windows thread is a Linux thread of the process) and CPU time (utime +
#     stime) over IDLE seconds, both programs idling side by side; Wine's
#     own share is the baseline's (its threads are Wine's alone), and the
#     wineserver's, which serves both, is shown apart;
#   - memory after start: resident anonymous bytes (Wine's PrivateUsage is
#     0) and handles (the system's handle list);
#   - report to OnData ("KeyIndex = 10" on the debugger output) and report
#     to mute ("MicrophoneMute:") for PRESSES presses of the mute button,
#     median and p99, from the stand-in device's write to the debugger's
#     receipt of the line (both on QueryPerformanceCounter; the debugger's
#     own delivery is part of it, and is the same for every line).
# Runs inside tests/wine/session.sh with VXM_WIN_BUILD set.
#   monitor_bench.sh [IDLE-SECONDS [PRESSES]]     (defaults 60 200)
source "$(dirname "$0")/../wine/lib.sh"
idle_s=${1:-60} presses=${2:-200}
fresh_registry
key='software\software\zrngmmouse'
app=$(new_install)
cp "$BIN/VXMMON_STANDIN.EXE" "$app/"
work=$VXM_WINE_SESSION/bench
mkdir -p "$work"
log=$work/monitor.log base_log=$work/idle.log dev=$work/device.out
for n in 1 2 3 4 5; do
  PROBE regbin "$key" "ZRNProfile$n.pfd" 140072 $((872 + 4080 * 10 + 4062)) 28 || fail "cannot write profile $n"
done
ns() { date +%s%N; }
wait_line() {  # FILE PATTERN: polls every 5 ms, up to 30 s
  for _ in $(seq 6000); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.005; done
  return 1
}
switches() {  # PID: context switches of all its threads
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}
cpu_ticks() {  # PID: utime + stime of the whole process, in clock ticks
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}
threads() { ls "/proc/$1/task" | wc -l; }
per_thread() {  # PID: "tid:switches" of each thread
  local t
  for t in /proc/"$1"/task/*; do
    awk -v t="${t##*/}" '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { printf "%s:%d ", t, n }' "$t/status"
  done
}

# Start: the baseline, then the monitor, each from launch to its line.
t0=$(ns)
"$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$base_log")" "$(winepath -w "$BIN/probe.exe")" idle say >/dev/null 2>&1 &
wait_line "$base_log" '^ready' || fail "the baseline did not start"
base_start=$((($(ns) - t0) / 1000000))
mkfifo "$work/device.in"
"$WINE64" "$BIN/probe.exe" device '\\.\pipe\vxm-bench' <"$work/device.in" >"$dev" 2>/dev/null &
exec 7>"$work/device.in"
t0=$(ns)
VXM_DEBUG_STAMPS=1 VXM_STANDIN_PIPE='\\.\pipe\vxm-bench' "$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$log")" \
  "$(winepath -w "$app/VXMMON_STANDIN.EXE")" &
wait_line "$log" 'tray icon added' || fail "the monitor's tray icon did not come"
mon_start=$((($(ns) - t0) / 1000000))
wait_line "$dev" '^connected' || fail "the monitor did not open the device"
# The baseline again, now that Wine is as warm as it was for the monitor; the
# faster of its two starts is the one compared.
t0=$(ns)
"$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$base_log.2")" "$(winepath -w "$BIN/probe.exe")" idle again >/dev/null 2>&1 &
wait_line "$base_log.2" '^ready' || fail "the baseline did not start again"
base_start2=$((($(ns) - t0) / 1000000))
base_first=$base_start
[ "$base_start2" -lt "$base_start" ] && base_start=$base_start2
sleep 3
mon=$(unix_pid VXMMON_STANDIN.EXE) || fail "no monitor process"
# The baseline is the probe.exe whose arguments are "idle say" (its debugger's start with "debug").
base=""
for p in /proc/[0-9]*; do
  mapfile -d '' -t args <"$p/cmdline" 2>/dev/null || continue
  [ "${#args[@]}" -ge 3 ] && [ "${args[1]}" = idle ] && [ "${args[2]}" = say ] && case "${args[0]}" in *probe.exe) base=${p#/proc/} ;; esac
done
[ -n "$base" ] || fail "no baseline process"
# This session's wineserver: other sessions may run their own.
server=""
for p in /proc/[0-9]*; do
  case "$(cat "$p/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
  tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && server=${p#/proc/}
done
[ -n "$server" ] || fail "no wineserver of this session"

mem_mon=$(process_stats TVXMMONMAIN VXMMON_STANDIN.EXE)
mem_base_kb=$(awk '$1 == "RssAnon:" { print $2 }' "/proc/$base/status")
mem_base_handles=$(PROBE memstat VXMIDLE | awk '{ print $2 }')

# Idle, side by side.
s0m=$(switches "$mon") s0b=$(switches "$base") s0s=$(switches "$server")
c0m=$(cpu_ticks "$mon") c0b=$(cpu_ticks "$base")
sleep "$idle_s"
s1m=$(switches "$mon") s1b=$(switches "$base") s1s=$(switches "$server")
c1m=$(cpu_ticks "$mon") c1b=$(cpu_ticks "$base")
hz=$(getconf CLK_TCK)

# Presses of the mute button, one every 100 ms.
for _ in $(seq "$presses"); do
  echo '07 00 04 00 00 00 00 00' >&7
  sleep 0.1
done
for _ in $(seq 300); do
  [ "$(grep -c 'MicrophoneMute: \(muted\|unmuted\)' "$log")" -ge "$presses" ] && break
  sleep 0.1
done
exec 7>&-

python3 - "$dev" "$log" "$presses" <<'EOF'
import re, sys
dev, log, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
sent = [int(m.group(1)) for m in (re.match(r'sent 8 at (\d+): 07 00 04', l) for l in open(dev, errors='replace')) if m]
ondata, mute = [], []
for line in open(log, errors='replace'):
    m = re.match(r'(\d+) (.*)', line)
    if not m: continue
    if m.group(2).startswith('KeyIndex = 10 '): ondata.append(int(m.group(1)))
    elif re.match(r'MicrophoneMute: (muted|unmuted)$', m.group(2)): mute.append(int(m.group(1)))
def figures(name, got):
    k = min(len(sent), len(got))
    d = sorted((got[i] - sent[i]) / 1000 for i in range(k))
    if not d:
        print(f'{name}: no figures'); return
    med, p99 = d[len(d) // 2], d[min(len(d) - 1, int(len(d) * 0.99))]
    print(f'{name}: median {med:.2f} ms, p99 {p99:.2f} ms, max {d[-1]:.2f} ms ({k} of {n} presses)')
figures('report to OnData', ondata)
figures('report to mute  ', mute)
EOF

awk -v idle="$idle_s" -v hz="$hz" -v sm=$((s1m - s0m)) -v sb=$((s1b - s0b)) -v ss=$((s1s - s0s)) \
    -v cm=$((c1m - c0m)) -v cb=$((c1b - c0b)) -v tm="$(threads "$mon")" -v tb="$(threads "$base")" \
    -v ms="$mon_start" -v bs="$base_start" -v b1="$base_first" -v b2="$base_start2" 'BEGIN {
  printf "start to tray icon: %d ms (baseline start to its first line: %d ms, the faster of %d and %d; ratio %.2f)\n", ms, bs, b1, b2, bs ? ms / bs : 0
  printf "idle wake-ups over %d s: monitor %.2f/s (%d threads), baseline %.2f/s (%d threads, all of them Wine threads), %s; wineserver %.2f/s (serves the whole session)\n",
    idle, sm / idle, tm, sb / idle, tb, sb ? sprintf("ratio %.2f", sm / sb) : sprintf("%d more", sm - sb), ss / idle
  printf "idle CPU over %d s: monitor %.3f s, baseline %.3f s (%.3f%% and %.3f%% of one core)\n",
    idle, cm / hz, cb / hz, 100 * cm / hz / idle, 100 * cb / hz / idle
}'
echo "idle wake-ups per thread of the monitor (tid:switches, since it started): $(per_thread "$mon")"
read -r _ hm _ pm <<<"$mem_mon"
awk -v pm="$pm" -v pb=$((mem_base_kb * 1024)) -v hm="$hm" -v hb="$mem_base_handles" 'BEGIN {
  printf "memory after start: monitor %.1f MiB resident anonymous, %d handles; baseline %.1f MiB, %d handles; ratio %.2f, %d handles more\n",
    pm / 1048576, hm, pb / 1048576, hb, pb ? pm / pb : 0, hm - hb
}'
