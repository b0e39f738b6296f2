#!/usr/bin/env bash
# The muted mark as a real tray host shows it: xfce4-panel (Debian 12's 4.18,
# whose notification area is the StatusNotifierWatcher and the host) runs on
# the session's Xvfb with a bus of its own and shows vxmmon's icon, and
# "vxmmon --toggle-mute" mutes and unmutes the session's microphone through
# the running monitor. Screenshots of the panel live, muted and live again
# land in artifacts/: the first and the last are the same, the middle one
# differs in the icon's lower right corner only.
#   tray_host_xfce.sh VXMMON ARTIFACTS_DIR
set -euo pipefail
if [ -z "${VXM_WINE_SESSION:-}" ]; then
  echo "skipped: not inside tests/wine/session.sh"
  exit 77
fi
vxmmon=$1
artifacts=$2
work=$(mktemp -d "$VXM_WINE_SESSION/xfce.XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in "$work"/*.log; do echo "--- $f"; tail -20 "$f"; done
  exit 1
}
pass() { echo "ok: $*"; }

# One panel at the top of the screen with the notification area alone, in
# the folder where xfconfd reads the panel's settings.
export HOME=$work XDG_CONFIG_HOME=$work/config
# No accessibility bus: the panel would have the bus start one, which outlives the test.
export NO_AT_BRIDGE=1
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="icon-size" type="uint" value="16"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
XML

# A bus of its own: the bus starts xfconfd with the bus's environment, so
# it must be started with this configuration folder.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >"$work/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
has_owner() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
xfce4-panel --disable-wm-check >"$work/panel.log" 2>&1 &
pids+=($!)
for _ in $(seq 300); do has_owner org.kde.StatusNotifierWatcher && break; sleep 0.1; done
has_owner org.kde.StatusNotifierWatcher || fail "xfce4-panel's notification area did not come up"
panel=
for _ in $(seq 100); do
  panel=$(xdotool search --onlyvisible --class xfce4-panel 2>/dev/null | head -1 || true)
  [ -n "$panel" ] && break
  sleep 0.1
done
[ -n "$panel" ] || fail "no panel window"

shot() { import -window "$panel" "$1"; }
differing() {  # A B: how many pixels differ
  { compare -metric AE "$1" "$2" null: 2>&1 || true; } | awk '{ print int($1) }'
}
# Waits until the panel shows something other than (UNLIKE) or the same as
# (LIKE) the picture REF, and then no longer changes; the last screenshot in FILE.
settle() {  # unlike|like REF FILE
  local i
  for i in $(seq 100); do
    shot "$work/poll.png"
    if [ "$1" = unlike ] && [ "$(differing "$2" "$work/poll.png")" -gt 0 ]; then break; fi
    if [ "$1" = like ] && [ "$(differing "$2" "$work/poll.png")" -eq 0 ]; then break; fi
    sleep 0.1
  done
  [ "$i" -lt 100 ] || return 1
  for _ in $(seq 50); do
    sleep 0.3
    shot "$3"
    [ "$(differing "$work/poll.png" "$3")" -eq 0 ] && return 0
    cp "$3" "$work/poll.png"
  done
  return 1
}
wait_line() {  # TEXT [COUNT]
  for _ in $(seq 150); do
    [ "$(grep -c -- "$1" "$work/vxmmon.log" || true)" -ge "${2:-1}" ] && return 0
    sleep 0.1
  done
  return 1
}
mute_state() { pactl get-source-mute @DEFAULT_SOURCE@ | awk '{ print $2 }'; }

shot "$work/empty.png"
pactl set-source-mute @DEFAULT_SOURCE@ 0
"$vxmmon" --verbose >"$work/vxmmon.log" 2>&1 &
monitor=$!
pids+=($monitor)
wait_line '^microphone live' || fail "the monitor did not read the microphone's state"
live=$work/1_live.png muted=$work/2_muted.png again=$work/3_live.png
settle unlike "$work/empty.png" "$live" || fail "the panel did not show the monitor's icon"

"$vxmmon" --toggle-mute || fail "--toggle-mute failed with a monitor running"
wait_line '^microphone muted' || fail "--toggle-mute did not mute"
[ "$(mute_state)" = yes ] || fail "the source is not muted: $(mute_state)"
settle unlike "$live" "$muted" || fail "the panel's icon did not change while muted"

"$vxmmon" --toggle-mute || fail "the second --toggle-mute failed"
wait_line '^microphone live' 2 || fail "the second --toggle-mute did not unmute"
[ "$(mute_state)" = no ] || fail "the source is still muted"
settle like "$live" "$again" || fail "the panel's icon did not come back to the live one"

mkdir -p "$artifacts"
cp "$live" "$artifacts/linux_tray_mark_1_live.png"
cp "$muted" "$artifacts/linux_tray_mark_2_muted.png"
cp "$again" "$artifacts/linux_tray_mark_3_live.png"
[ "$(differing "$live" "$again")" -eq 0 ] || fail "live before and after differ"
changed=$(differing "$live" "$muted")
# Where the icon is (what the monitor added to the empty panel) and where the
# mark is (what muting changed): the mark lies in the icon's lower right part.
box() {  # A B: "W H X Y" of the pixels that differ
  compare "$1" "$2" -compose src -highlight-color black -lowlight-color white "$work/diff.png" 2>/dev/null || true
  convert "$work/diff.png" -negate -trim -format '%w %h %X %Y\n' info: | tr -d '+'
}
read -r iw ih ix iy < <(box "$work/empty.png" "$live")
read -r mw mh mx my < <(box "$live" "$muted")
echo "icon at ${iw}x${ih}+${ix}+${iy}, mark at ${mw}x${mh}+${mx}+${my}, ${changed} pixels changed"
[ "$changed" -ge 20 ] || fail "only $changed pixels show the mark"
# The mark is nine sixteenths of the icon across, in its lower right corner
# (a pixel either way for the host's scaling and the mark's soft edge).
[ $((mx * 16)) -ge $((ix * 16 + iw * 7 - 16)) ] && [ $((my * 16)) -ge $((iy * 16 + ih * 7 - 16)) ] ||
  fail "the mark does not start at the icon's lower right corner"
[ $((mx + mw)) -ge $((ix + iw - 1)) ] && [ $((my + mh)) -ge $((iy + ih - 1)) ] &&
  [ $((mx + mw)) -le $((ix + iw + 1)) ] && [ $((my + mh)) -le $((iy + ih + 1)) ] ||
  fail "the mark does not end at the icon's lower right corner"
pass "xfce4-panel shows the mark while muted and the plain icon when live again (artifacts/linux_tray_mark_*.png)"

kill -TERM "$monitor"
wait "$monitor" || fail "the monitor did not end in order"
