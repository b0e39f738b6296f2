#!/usr/bin/env bash
# A scripted session of the button road under Wine: a stand-in mouse sends
# key and status reports to the x64 monitor, and this prints what happened.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 >/dev/null
cmake --build build/windows-x64 --target vxm_wine_test_programs >/dev/null
export WINE64=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver VXM_ROAD_VERBOSE=1
export VXM_WIN_BUILD=$PWD/build/windows-x64 VXM_ARTIFACTS=$PWD/artifacts
exec tests/wine/session.sh bash tests/wine/button_road.sh
