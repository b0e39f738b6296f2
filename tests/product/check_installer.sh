#!/usr/bin/env bash
# The product's installer cannot run here (32-bit): check what it is.
#   check_installer.sh INSTALLER "EXPECTED file(1) TEXT"...
set -euo pipefail
setup=$1
shift
[ -f "$setup" ] || { echo "FAIL: no installer at $setup (build the windows-x86 preset)"; exit 1; }
kind=$(file -b "$setup")
echo "$setup: $kind"
for want in "$@"; do
  [[ $kind == *"$want"* ]] || { echo "FAIL: not \"$want\""; exit 1; }
done
echo "ok: $(basename "$setup") is $*"
