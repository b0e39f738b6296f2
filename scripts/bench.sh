#!/usr/bin/env bash
# Prints the benchmarks' figures:
#  - the language data load (ui.local and the built-in data): lines per
#    second for tables of 10^4 .. 10^6 distinct lines in ascending,
#    descending and random order, and the ratio to a plain std::sort of the
#    same strings; natively (the native preset without its sanitizers, which
#    would distort the figures; ordinal comparison) and under Wine (the x64
#    build, through CompareStringW);
#  - the Linux monitor (vxmmon): idle wake-ups of its read loop and of the
#    whole process, and the report-to-mute latency through a stand-in device
#    and the session's PulseAudio beside a bare libpulse set-mute program
#    driven the same way (500 presses each, median, p99, ratio of medians);
#  - the read loop under Wine: idle wake-ups and report latency of the
#    event-driven and the polling loop;
#  - the whole monitor under Wine against a trivial program idling in
#    GetMessage (tests/bench/monitor_bench.sh): start to tray icon, idle
#    wake-ups and CPU time of the whole process, memory after start, report
#    to OnData and report to mute.
#   bash scripts/bench.sh [idle-ms] [reports]            (the read loop's; defaults 2000 200)
#   VXM_LANG_BENCH_LINES=100000 bash scripts/bench.sh    (largest table; default 1000000)
#   VXM_BENCH_IDLE_S=60 VXM_BENCH_PRESSES=200 bash scripts/bench.sh
#                                                        (the whole monitor's idle time and presses)
#   VXM_LINUX_PRESSES=500 bash scripts/bench.sh          (presses of vxmmon and the bare set-mute)
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${VXM_LANG_BENCH_LINES:-1000000}

cmake --preset native -B build/native-bench -DVXM_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native-bench --target lang_load_bench >/dev/null
build/native-bench/tests/lang_load_bench "$lines"
echo

cmake --build build/native-bench --target vxmmon_bench >/dev/null
tests/wine/session.sh build/native-bench/tests/linux/vxmmon_bench "${1:-5000}" "${VXM_LINUX_PRESSES:-500}"
echo

cmake --preset windows-x64 >/dev/null
cmake --build build/windows-x64 --target VXMMON vxm_wine_test_programs >/dev/null
exec tests/wine/session.sh env VXM_WIN_BUILD="$PWD/build/windows-x64" WINE64=/usr/lib/wine/wine64 \
  WINESERVER=/usr/lib/wine/wineserver bash -c '
  set -e
  "$WINE64" build/windows-x64/tests-bin/lang_load_bench.exe "$1" | tr -d "\r"
  echo
  shift
  "$WINE64" build/windows-x64/tests-bin/hid_read_bench.exe "$@" | tr -d "\r"
  echo
  bash tests/bench/monitor_bench.sh "${VXM_BENCH_IDLE_S:-60}" "${VXM_BENCH_PRESSES:-200}"
' bench "$lines" "$@"
