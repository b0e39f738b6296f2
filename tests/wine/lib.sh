# Shared helpers of the end-to-end scripts (sourced).
set -euo pipefail
BIN=$VXM_WIN_BUILD/tests-bin
PROBE() { "$WINE64" "$BIN/probe.exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
fail() { echo "FAIL: $*"; exit 1; }
pass() { echo "ok: $*"; }
# A private copy of the staged installation folder.
new_install() {
  local dir
  dir=$(mktemp -d "$VXM_WINE_SESSION/install.XXXXXX")
  cp -r "$VXM_WIN_BUILD/stage/." "$dir/"
  echo "$dir"
}
now_ms() { date +%s%3N; }
