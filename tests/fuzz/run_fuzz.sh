#!/usr/bin/env bash
# Runs one fuzz target for a bounded time over its checked-in corpus plus the
# inputs it finds, on one core. New inputs go to WORK, never into the
# checked-in corpus; an input that fails is saved in WORK as crash-* (or
# timeout-*, oom-*) and named, and the run fails.
#
#   run_fuzz.sh BINARY CORPUS WORK SECONDS
set -uo pipefail
binary=$1 corpus=$2 work=$3 seconds=$4
if [ ! -x "$binary" ]; then
  echo "fuzz: $binary is not built (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 1
fi
mkdir -p "$work/inputs" "$work/failures"
rm -f "$work/failures"/*
# Every checked-in input first, whatever its size, then the search; a slow
# input (25 s) or one that needs more than 2.5 GB fails the run as a crash does.
# A fixed seed (VXM_FUZZ_SEED) makes the test command's runs repeatable;
# scripts/fuzz.sh searches with fresh seeds.
"$binary" -seed="${VXM_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -len_control=0 \
  -artifact_prefix="$work/failures/" -print_final_stats=1 \
  "$work/inputs" "$corpus" >"$work/log.txt" 2>&1
rc=$?
grep -E '^#[0-9]+ +DONE|^Done |stat::number_of_executed_units|stat::new_units_added' "$work/log.txt" || true
if [ $rc -ne 0 ]; then
  grep -E -A3 'PROPERTY VIOLATED|ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error' \
    "$work/log.txt" | head -40
  for f in "$work/failures"/*; do
    [ -e "$f" ] && echo "fuzz: failing input saved as $f (reproduce: $binary $f)"
  done
  echo "fuzz: $(basename "$binary") FAILED (exit $rc); full log in $work/log.txt"
  exit 1
fi
echo "fuzz: $(basename "$binary") passed ${seconds} s"
