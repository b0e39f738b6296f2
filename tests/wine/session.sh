#!/usr/bin/env bash
# Runs a command inside a throw-away Windows session: a private Xvfb display,
# a private D-Bus session bus, a PulseAudio server with a null sink and a null
# source, and a fresh Wine prefix with its own HOME. Everything it starts is stopped on the way out.
#   tests/wine/session.sh COMMAND [ARGS...]
set -uo pipefail

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

root=$(mktemp -d /tmp/vxm-wine.XXXXXX)
export HOME=$root/home WINEPREFIX=$root/prefix XDG_RUNTIME_DIR=$root/run
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

xvfb_pid="" pulse_pid="" dbus_pid=""
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w >/dev/null 2>&1
  [ -n "$pulse_pid" ] && kill "$pulse_pid" >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  [ -n "$dbus_pid" ] && kill "$dbus_pid" >/dev/null 2>&1
  wait >/dev/null 2>&1
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number itself and tells it on a pipe.
exec {dfd}<> <(:)
Xvfb -displayfd "$dfd" -screen 0 1280x800x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 20 -u "$dfd" display || { echo "session: Xvfb did not start" >&2; cat "$root/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display

# The session bus of the Linux monitor's tests (tray, protocol, single instance).
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >"$root/dbus.log" 2>&1 &
dbus_pid=$!
for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/bus" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/bus" ] || { echo "session: dbus-daemon did not start" >&2; cat "$root/dbus.log" >&2; exit 1; }

export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse-native
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse-native auth-anonymous=1" \
  --load="module-null-sink sink_name=null_out" \
  --load="module-null-source source_name=null_mic" \
  >"$root/pulse.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pulse-native" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/pulse-native" ] || { echo "session: PulseAudio did not start" >&2; cat "$root/pulse.log" >&2; exit 1; }
pactl set-default-source null_mic >/dev/null 2>&1
pactl set-default-sink null_out >/dev/null 2>&1

# A wineserver of an earlier session may still be going down: try again once.
"$WINE64" wineboot -i >"$root/wineboot.log" 2>&1 || { sleep 2; "$WINE64" wineboot -i >>"$root/wineboot.log" 2>&1; } ||
  { echo "session: wineboot failed" >&2; tail -20 "$root/wineboot.log" >&2; exit 1; }
# Chinese captions need a CJK font behind the UI fonts.
source "$(dirname "$0")/../../scripts/wine_cjk_font.sh"
link_cjk_font "$WINE64" || { echo "session: the CJK font link failed" >&2; exit 1; }
"$WINESERVER" -w

export VXM_WINE_SESSION=$root
"$@"
