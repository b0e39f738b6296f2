#!/usr/bin/env bash
# The Debian package of vxmmon as a person installing it gets it: built from
# the package preset, unpacked into a scratch root, its file list and its
# dependencies checked, the udev rule parsed by udevadm, the installed program
# started there on the test session's bus (it must find its data through its
# own location, not the tree) and ended in order, and lintian run on it.
#   tests/linux/package.sh PACKAGE_BUILD_DIR SCRATCH_ROOT
# Exit 77 (skipped) outside tests/wine/session.sh or without the preset.
set -euo pipefail
build=$1 root=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)

[ -n "${VXM_WINE_SESSION:-}" ] && [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] ||
  { echo "skipped: needs tests/wine/session.sh (session bus)"; exit 77; }
[ -f "$build/CMakeCache.txt" ] || { echo "skipped: the package preset is not configured (cmake --preset package)"; exit 77; }

fail=0
bad() { echo "FAIL: $*"; fail=1; }

# Built (again only what changed) and packed.
rm -rf "$build/deb"
cmake --build "$build" --target package >"$build/package.log" 2>&1 || { cat "$build/package.log"; exit 1; }
debs=("$build"/deb/vxmmon_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: not one package in $build/deb: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $deb"
dpkg-deb -I "$deb" control

# Exactly these files, owned by root, with these modes.
expected="-rwxr-xr-x root/root ./usr/bin/vxmmon
-rw-r--r-- root/root ./etc/xdg/autostart/vxmmon.desktop
-rw-r--r-- root/root ./usr/lib/systemd/user/vxmmon.service
lrwxrwxrwx root/root ./usr/lib/systemd/user/graphical-session.target.wants/vxmmon.service -> ../vxmmon.service
-rw-r--r-- root/root ./usr/lib/udev/rules.d/70-vxmmon.rules
-rw-r--r-- root/root ./usr/share/doc/vxmmon/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/vxmmon/copyright
-rw-r--r-- root/root ./usr/share/man/man1/vxmmon.1.gz
-rw-r--r-- root/root ./usr/share/vxmmon/config.ini
-rw-r--r-- root/root ./usr/share/vxmmon/images/0409/icons/logo.ico"
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { line = $1 " " $2; for (i = 6; i <= NF; i++) line = line " " $i; print line }')
if [ "$(sort <<<"$expected")" != "$(sort <<<"$actual")" ]; then
  bad "the file list differs from the expected one:"
  diff <(sort <<<"$expected") <(sort <<<"$actual") || true
fi
dirs=$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") { print }')
[ -z "$dirs" ] || bad "folders not root's 0755: $dirs"
[ "$(dpkg-deb -I "$deb" conffiles)" = "/etc/xdg/autostart/vxmmon.desktop" ] ||
  bad "conffiles: $(dpkg-deb -I "$deb" conffiles)"

# The installed tree, unpacked as dpkg would install it.
rm -rf "$root"
mkdir -p "$root"
dpkg -x "$deb" "$root"
program=$root/usr/bin/vxmmon
upstream=$(dpkg-deb -f "$deb" Version)
upstream=${upstream%-*}
[ "$("$program" --version)" = "vxmmon $upstream" ] || bad "--version says \"$("$program" --version)\", the package $upstream"
cmp -s "$program" "$build/linux-stage/vxmmon" && bad "the packed program is not stripped"
file "$program" | grep -q ', stripped' || bad "$(file "$program")"
readelf -d "$program" | grep -q 'BIND_NOW' || bad "the program is not linked with -z now"
readelf -s "$program" | grep -q '__asan\|__ubsan' && bad "the packed program carries a sanitizer"

# Each shared library the program needs comes from a package it depends on.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in $(LC_ALL=C readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
  path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ && !found { print $NF; found = 1 }')
  [ -n "$path" ] || { bad "$lib: not found by ldconfig"; continue; }
  pkg=$(dpkg -S "$path" 2>/dev/null | sed -n '1s/:.*//p' || true)
  [ -n "$pkg" ] || pkg=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | sed -n '1s/:.*//p' || true)
  tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$pkg" || bad "$lib ($pkg) is not in Depends"
done

# Without a session bus it says why, in words a user can act on.
code=0
said=$(env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR "$program" 2>&1) || code=$?
[ "$code" -eq 1 ] && grep -q 'neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set' <<<"$said" &&
  grep -q 'dbus-run-session vxmmon' <<<"$said" && ! grep -qi 'medium' <<<"$said" ||
  bad "without a session bus it ended with $code and said: $said"

# The udev rule as udevd reads it: in a private mount namespace with /run
# of its own, where udevadm also looks for rules. Its complaints name the file.
if unshare -m true 2>/dev/null; then
  udev=$(unshare -m sh -c 'mount -t tmpfs tmpfs /run && mkdir -p /run/udev/rules.d &&
    cp "$1" /run/udev/rules.d/ && udevadm test /sys/class/mem/null 2>&1' sh "$root/usr/lib/udev/rules.d/70-vxmmon.rules")
  grep -q 'Reading rules file: /run/udev/rules.d/70-vxmmon.rules' <<<"$udev" || bad "udevadm did not read the rule"
  if grep '70-vxmmon.rules:' <<<"$udev"; then bad "udevadm complains about the rule"; fi
else
  echo "note: no mount namespace here; the udev rule was not parsed"
fi

# The installed program in the session: it takes its config.ini from the
# scratch root, owns its name, and ends in order on SIGTERM.
home=$(mktemp -d /tmp/vxm-package-home.XXXXXX)
log=$home/vxmmon.log
cleanup() {
  [ -n "${pid:-}" ] && kill -KILL "$pid" 2>/dev/null
  rm -rf "$home"
}
trap cleanup EXIT
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CONFIG_DIRS=$root/etc/xdg "$program" --verbose 2>"$log" &
pid=$!
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:io.github.vxmmon.TVXMMONMAIN 2>/dev/null | grep -q 'boolean true'
}
for _ in $(seq 300); do owned && grep -q '^language ' "$log" && break; sleep 0.1; done
owned || bad "the installed program did not take its bus name"
grep -qxF "config.ini: $root/usr/share/vxmmon/config.ini" "$log" ||
  bad "the installed program did not take the package's config.ini: $(grep 'config.ini' "$log" || true)"
kill -TERM "$pid"
code=0
wait "$pid" || code=$?
pid=
[ "$code" -eq 0 ] || bad "the installed program ended with $code"
grep -qx 'ended' "$log" || bad "the installed program did not end in order"
if grep -i 'uihook' "$log"; then bad "the Linux program speaks of a hook library"; fi
[ "$fail" -eq 0 ] || { echo "--- its standard error:"; cat "$log"; }

# lintian: no error, and no warning but those explained in lintian-allowed.txt.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "--- lintian:"
echo "$lintian_out"
if grep -q '^E: ' <<<"$lintian_out"; then bad "lintian reports errors"; fi
while read -r line; do
  tag=$(awk '{ print $3 }' <<<"$line")
  grep -qx "$tag" <(sed -n 's/^\([a-z0-9-]*\) .*/\1/p' "$here/lintian-allowed.txt") ||
    bad "lintian warning not explained in tests/linux/lintian-allowed.txt: $line"
done < <(grep '^W: ' <<<"$lintian_out" || true)

[ "$fail" -eq 0 ] && echo "package: all checks passed"
exit "$fail"
