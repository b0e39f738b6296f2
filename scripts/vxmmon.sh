#!/usr/bin/env bash
# Builds the Linux monitor (the package preset: release, without the tests)
# and runs it in the foreground on the user's session bus and sound server,
# with config.ini and the tray icon beside it in build/package/linux-stage.
# Ends with the tray menu's "Exit", Ctrl+C or SIGTERM.
#   bash scripts/vxmmon.sh [--verbose]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset package >/dev/null
cmake --build --preset package --target vxmmon
exec build/package/linux-stage/vxmmon "$@"
