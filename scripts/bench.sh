#!/usr/bin/env bash
# Builds the x64 test programs and runs the read loop benchmark under Wine:
# idle wake-ups and report latency of the event-driven and the polling loop.
#   bash scripts/bench.sh [idle-ms] [reports]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows-x64 >/dev/null
cmake --build build/windows-x64 --target vxm_wine_test_programs >/dev/null
exec tests/wine/session.sh /usr/lib/wine/wine64 build/windows-x64/tests-bin/hid_read_bench.exe "$@"
