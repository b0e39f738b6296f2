#!/usr/bin/env bash
# Builds the presets and runs every test: the native suites (under the
# address and undefined-behaviour sanitizers), the thread-heavy suites again
# under ThreadSanitizer, the fuzz targets for a bounded time each (fuzz.*,
# VXM_FUZZ_SECONDS of the native preset, 60 by default), the end-to-end
# tests of the x64 Windows build under Wine, and the Debian package of the
# Linux monitor (preset package: built, unpacked, started, checked with
# lintian). Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in native native-tsan fuzz package windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# Windows test programs are not part of the product build.
cmake --build build/windows-x64 --target vxm_wine_test_programs

mkdir -p artifacts
exec tests/wine/session.sh ctest --test-dir build/native --output-on-failure "$@"
