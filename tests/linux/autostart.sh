#!/usr/bin/env bash
# The start with every desktop session, from the package unpacked by
# package.sh: the XDG autostart entry and the user unit pass their
# validators; the entry's Exec and the unit's ExecStart started at the same
# moment leave one monitor (the other ends silently with 0), and each later
# start ends at once, silently, with 0 while the first keeps its name; the
# user's switch (vxmmon --autostart off / on, a Hidden=true copy in
# ~/.config/autostart) is what the unit's start condition reads, and it keeps
# what the user wrote into that copy.
#   tests/linux/autostart.sh SCRATCH_ROOT
set -euo pipefail
root=$(realpath -m "$1")
[ -n "${VXM_WINE_SESSION:-}" ] && [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] ||
  { echo "skipped: needs tests/wine/session.sh (session bus)"; exit 77; }
[ -x "$root/usr/bin/vxmmon" ] || { echo "FAIL: no package unpacked in $root (tests/linux/package.sh)"; exit 1; }

fail=0
bad() { echo "FAIL: $*"; fail=1; }
entry=$root/etc/xdg/autostart/vxmmon.desktop
unit=$root/usr/lib/systemd/user/vxmmon.service

home=$(mktemp -d /tmp/vxm-autostart-home.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
  rm -rf "$home"
}
trap cleanup EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CONFIG_DIRS=$root/etc/xdg
export PATH=$root/usr/bin:$PATH

out=$(desktop-file-validate "$entry" 2>&1) || bad "desktop-file-validate: $out"
[ -z "$out" ] || bad "desktop-file-validate: $out"
# The unit as systemd reads it, its programs and man page those of the
# scratch root (verify runs what ExecStart names, and man for Documentation).
mkdir -p "$home/units"
sed "s#/usr/bin/vxmmon#$root/usr/bin/vxmmon#g" "$unit" >"$home/units/vxmmon.service"
out=$(MANPATH=$root/usr/share/man systemd-analyze --user verify "$home/units/vxmmon.service" 2>&1) ||
  bad "systemd-analyze verify: $out"
[ -z "$out" ] || bad "systemd-analyze verify: $out"
[ "$(readlink "$root/usr/lib/systemd/user/graphical-session.target.wants/vxmmon.service")" = ../vxmmon.service ] ||
  bad "the unit is not wanted by graphical-session.target"
grep -qx 'X-systemd-skip=true' "$entry" || bad "the entry lets systemd-xdg-autostart-generator make a second unit of it"

# What the entry and the unit run, as the session and systemd would run them
# (no field codes, no quoting in either).
exec_line=$(sed -n 's/^Exec=//p' "$entry")
start_line=$(sed -n 's/^ExecStart=//p' "$unit")
condition_line=$(sed -n 's/^ExecCondition=//p' "$unit")
[ "$start_line" = /usr/bin/vxmmon ] && [ "$condition_line" = "/usr/bin/vxmmon --autostart" ] ||
  bad "the unit runs \"$start_line\" if \"$condition_line\""
start_line=$root$start_line condition_line=$root$condition_line

owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:io.github.vxmmon.TVXMMONMAIN 2>/dev/null | grep -q 'boolean true'
}
owned && { echo "FAIL: the monitor's name is taken before the test"; exit 1; }
# At login both may fire at the same moment: the entry's Exec and the unit's
# ExecStart. One of them ends, silently and with 0; the other runs on.
# shellcheck disable=SC2086  # split as the session splits Exec
$exec_line 2>"$home/a.log" &
pids+=($!)
# shellcheck disable=SC2086
$start_line 2>"$home/b.log" &
pids+=($!)
sleep 60 &
timer=$!
ended=
wait -n -p ended "${pids[@]}" "$timer" && code=0 || code=$?
kill "$timer" 2>/dev/null || true
if [ "$ended" = "$timer" ] || [ -z "$ended" ]; then
  bad "two starts at once: neither ended"
  first=${pids[0]} first_log=$home/a.log
else
  if [ "$ended" = "${pids[0]}" ]; then
    first=${pids[1]} first_log=$home/b.log loser_log=$home/a.log
  else
    first=${pids[0]} first_log=$home/a.log loser_log=$home/b.log
  fi
  [ "$code" -eq 0 ] || bad "of two starts at once, one ended with $code: $(cat "$loser_log")"
  [ ! -s "$loser_log" ] || bad "of two starts at once, one said: $(cat "$loser_log")"
fi
for _ in $(seq 300); do owned && break; sleep 0.1; done
owned || bad "neither the entry's Exec nor the unit's ExecStart started the monitor: $(cat "$home"/?.log)"

# Both mechanisms fire: each later start ends quietly with 0 and the first runs on.
for second in "$exec_line" "$start_line"; do
  code=0
  # shellcheck disable=SC2086
  timeout 30 $second >"$home/second.out" 2>"$home/second.err" || code=$?
  [ "$code" -eq 0 ] || bad "a second start ($second) ended with $code"
  [ ! -s "$home/second.out" ] && [ ! -s "$home/second.err" ] ||
    bad "a second start ($second) said: $(cat "$home/second.out" "$home/second.err")"
done
kill -0 "$first" 2>/dev/null && owned || bad "the first monitor did not keep running"

# The switch: on with the package's entry; off writes the standard Hidden=true
# copy, which a desktop's startup settings read and which the unit's start
# condition obeys; on takes it away.
$condition_line >/dev/null || bad "the start condition is off with the package's entry alone"
vxmmon --autostart off >/dev/null || bad "vxmmon --autostart off failed"
copy=$XDG_CONFIG_HOME/autostart/vxmmon.desktop
grep -qx 'Hidden=true' "$copy" || bad "no Hidden=true in $copy"
out=$(desktop-file-validate "$copy" 2>&1) || bad "desktop-file-validate of the user's copy: $out"
code=0
$condition_line >/dev/null || code=$?
[ "$code" -ge 1 ] && [ "$code" -le 254 ] || bad "the start condition answered $code with the start off"
vxmmon --autostart on >/dev/null || bad "vxmmon --autostart on failed"
[ ! -e "$copy" ] || bad "the copy that only said off is still there"
$condition_line >/dev/null || bad "the start condition is off again after --autostart on"
# A copy the user made (another Exec) keeps it through off and on.
cp "$entry" "$copy"
sed -i 's/^Exec=.*/Exec=vxmmon --verbose/' "$copy"
vxmmon --autostart off >/dev/null && ! $condition_line >/dev/null || bad "off with the user's own copy"
grep -qx 'Exec=vxmmon --verbose' "$copy" && grep -qx 'Hidden=true' "$copy" || bad "off lost the user's copy: $(cat "$copy")"
vxmmon --autostart on >/dev/null && $condition_line >/dev/null || bad "on with the user's own copy"
grep -qx 'Exec=vxmmon --verbose' "$copy" && ! grep -q '^Hidden=' "$copy" || bad "on lost the user's copy: $(cat "$copy")"

kill -TERM "$first"
code=0
wait "$first" || code=$?
pids=()
[ "$code" -eq 0 ] || bad "the first monitor ended with $code: $(cat "$first_log")"

[ "$fail" -eq 0 ] && echo "autostart: all checks passed"
exit "$fail"
