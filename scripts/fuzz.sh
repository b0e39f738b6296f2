#!/usr/bin/env bash
# Runs every fuzz target longer than the test command does (default 600 s
# each, one after another on one core), over its checked-in corpus plus what
# it finds. New inputs go to build/fuzz/work/<target>/inputs, not into the
# corpus; an input that fails is copied into the target's corpus as
# regress-<hash> (check it in with the fix), and the script ends failing.
#
#   bash scripts/fuzz.sh [seconds] [target ...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || exit 1
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^  \(fuzz_[a-z_]*\)$/\1/p' tests/fuzz/targets.cmake)
fi
failed=()
for t in "${targets[@]}"; do
  work=build/fuzz/work/$t
  echo "== $t, $seconds s"
  # A fresh seed each run: the longer search goes where the test command's did not.
  if ! VXM_FUZZ_SEED=${VXM_FUZZ_SEED:-0} bash tests/fuzz/run_fuzz.sh "build/fuzz/tests/fuzz/$t" "tests/fuzz/corpus/$t" "$work" "$seconds"; then
    failed+=("$t")
    for f in "$work"/failures/*; do
      [ -e "$f" ] || continue
      dest=tests/fuzz/corpus/$t/regress-$(sha1sum "$f" | cut -c1-16)
      cp "$f" "$dest"
      echo "fuzz: kept $f as $dest"
    done
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: every target passed $seconds s"
