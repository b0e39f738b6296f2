#!/usr/bin/env bash
# The whole soak of the monitor under Wine (tests/wine/soak.sh says what it
# does and checks): 10,000 reports, 1,000 arrivals in 50 bursts by default.
#   bash scripts/soak.sh [reports [arrivals [bursts]]]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows-x64 >/dev/null
cmake --build build/windows-x64 --target VXMMON vxm_wine_test_programs >/dev/null
mkdir -p artifacts
exec tests/wine/session.sh env VXM_WIN_BUILD="$PWD/build/windows-x64" VXM_ARTIFACTS="$PWD/artifacts" \
  WINE64=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver bash tests/wine/soak.sh "$@"
