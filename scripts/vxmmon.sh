#!/usr/bin/env bash
# Builds the Linux monitor (release, without the tests) and runs it in the
# foreground on the user's session bus and sound server, with config.ini and
# the tray icon beside it in build/linux/linux-stage. Ends with the tray
# menu's "Exit", Ctrl+C or SIGTERM.
#   bash scripts/vxmmon.sh [--verbose]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/linux --target vxmmon
exec build/linux/linux-stage/vxmmon "$@"
