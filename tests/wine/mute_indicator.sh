#!/usr/bin/env bash
# The microphone's state on the tray under Wine: button 10 (function 28) of
# the stand-in mouse mutes, the icon in the "Wine System Tray" window gets
# its mark and the hint its state line; the second press takes both back.
# Screenshots of the tray window before, muted and after land in artifacts/
# (the first two at 16, 20 and 24 px too), the mark is checked to stand apart
# from the red logo at each size, and the time from the report to the
# changed icon is printed, with the sound cue on.
source "$(dirname "$0")/lib.sh"
fresh_registry

key='software\software\zrngmmouse'
app=$(new_install)
cp "$BIN/VXMMON_STANDIN.EXE" "$app/"
work=$VXM_WINE_SESSION/mute-indicator
mkdir -p "$work" "$VXM_ARTIFACTS"
log=$work/monitor-debug.log
wait_for() {  # FILE PATTERN [tries]: waits until the pattern shows in the file
  for _ in $(seq "${3:-100}"); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
# The sample config.ini shows the state (MuteIndicator=1) and stays silent.
grep -q '^MuteIndicator=1' "$app/config.ini" || fail "the sample config.ini lacks MuteIndicator=1"
grep -q '^MuteSound=0' "$app/config.ini" || fail "the sample config.ini lacks MuteSound=0"
# With the sound cue on: it plays without holding up the icon.
sed -i 's/^MuteSound=0/MuteSound=1/' "$app/config.ini"

for n in 1 3; do
  PROBE regbin "$key" "ZRNProfile$n.pfd" 140072 $((872 + 4080 * 10 + 4062)) 28 || fail "cannot write profile $n"
done
mkfifo "$work/device.in"
"$WINE64" "$BIN/probe.exe" device '\\.\pipe\vxm-mouse' <"$work/device.in" >"$work/device.out" 2>/dev/null &
exec 7>"$work/device.in"
VXM_STANDIN_PIPE='\\.\pipe\vxm-mouse' "$WINE64" "$BIN/probe.exe" debug "$(winepath -w "$log")" \
  "$(winepath -w "$app/VXMMON_STANDIN.EXE")" &
PROBE wait-window TVXMMONMAIN 20000 || fail "monitor did not start"
wait_for "$work/device.out" connected 100 || fail "the monitor did not open the device within 10 s"

# The language of a first start is "CH": the state line is Chinese.
live='tray hint: GAMING MOUSE DRIVER | 麦克风已开启'
muted='tray hint: GAMING MOUSE DRIVER | 麦克风已静音'
wait_for "$log" "$live" || fail "the hint does not say the microphone is live: $(grep 'tray hint' "$log")"

tray=$(xdotool search --name "Wine System Tray" | head -1)
[ -n "$tray" ] || fail "no Wine System Tray window"
xdotool mousemove --sync 0 0  # no tool tip over the icon
# Wine's standalone tray draws a new image over the old one without erasing,
# so half-transparent pixels darken with each image it is given and a mark's
# edges stay where the plain icon is clear. Each screenshot is therefore
# taken after the tray window has repainted itself from a fresh background:
# what it shows then is the image the monitor gave it.
raw_shot() {  # FILE: the tray window alone, as it is
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
}
shot() {  # FILE: the tray window alone, freshly painted
  PROBE redraw __winex11_standalone_tray >/dev/null || fail "cannot repaint the tray window"
  sleep 0.3
  raw_shot "$1"
}
differing() {  # A B: how many pixels differ
  { compare -metric AE "$1" "$2" null: 2>&1 || true; } | awk '{ print int($1) }'
}
# A B: "K N": of the N pixels that differ, K are in B the logo's bright red.
# A mark the colour of the logo would leave much of itself red.
red_in_mark() {
  paste <(convert "$1" -depth 8 rgb:- | od -An -v -tu1 -w3) <(convert "$2" -depth 8 rgb:- | od -An -v -tu1 -w3) |
    awk '$1 != $4 || $2 != $5 || $3 != $6 { n++; if ($4 > 150 && $5 < 0.6 * $4 && $6 < 0.6 * $4) k++ } END { print k + 0, n + 0 }'
}
size_lines() { grep -c "^tray icon size $1 at $2 dpi\$" "$log" || true; }
set_dpi() {  # DPI: a scale change; returns once the icon has its size for it
  local px=$(( $1 / 6 )) n
  n=$(size_lines "$px" "$1")
  PROBE post TVXMMONMAIN 0x02E0 $(( ($1 << 16) | $1 )) 0   # WM_DPICHANGED
  for _ in $(seq 50); do [ "$(size_lines "$px" "$1")" -gt "$n" ] && return 0; sleep 0.1; done
  fail "the icon was not resized for $1 dpi"
}
before=$VXM_ARTIFACTS/mute_indicator_1_before.png
during=$VXM_ARTIFACTS/mute_indicator_2_muted.png
after=$VXM_ARTIFACTS/mute_indicator_3_after.png
sleep 0.5
# The plain icon at 20 px (120 dpi) and 24 px (144 dpi), then at 16 px.
for dpi in 120 144 96; do
  set_dpi $dpi
  sleep 0.3
  [ $dpi = 96 ] || shot "${before%.png}_$((dpi / 6))px.png"
done
shot "$before"

# Report to changed icon: the debugger output says when the icon went to
# the shell (polled every 10 ms); screenshots of the tray window, polled
# beside it, when the window showed it.
t0=$(now_ms)
(
  for _ in $(seq 300); do
    raw_shot "$work/poll.png"
    if [ "$(differing "$before" "$work/poll.png")" -gt 0 ]; then now_ms >"$work/shown.ms"; break; fi
  done
) &
poller=$!
echo "07 00 04 00 00 00 00 00" >&7
t_log=
t_mute=
for _ in $(seq 1000); do
  if [ -z "$t_mute" ] && grep -q 'MicrophoneMute: muted' "$log"; then t_mute=$(now_ms); fi
  if grep -q 'tray badge muted' "$log"; then t_log=$(now_ms); break; fi
  sleep 0.01
done
[ -n "$t_mute" ] || t_mute=$t_log
wait "$poller" || true
[ -n "$t_log" ] || fail "no badge: $(grep -E 'MicrophoneMute|tray' "$log")"
[ -s "$work/shown.ms" ] || fail "the tray icon did not change on the screen"
t_shot=$(cat "$work/shown.ms")
grep -q 'MicrophoneMute: muted' "$log" || fail "the press did not mute"
wait_for "$log" 'sound cue: muted' || fail "no sound cue for the mute"
wait_for "$log" "$muted" || fail "the hint does not say the microphone is muted: $(grep 'tray hint' "$log")"
echo "report to changed icon under Wine: $((t_mute - t0)) ms to the toggle, $((t_log - t0)) ms to the icon" \
  "update (debugger output, polled every 10 ms), $((t_shot - t0)) ms to the tray window showing it" \
  "(screenshots, polled)"
sleep 0.3
shot "$during"
pass "a press mutes: icon with the mark, hint 'GAMING MOUSE DRIVER | 麦克风已静音'"

# The mark stays through a re-add (the shell restarted) and through scale
# changes there and back, made anew at each size. At 16, 20 and 24 px it
# differs from the plain icon and hardly any of it is the logo's red.
PROBE post TVXMMONMAIN TaskbarCreated 0 0
for dpi in 120 144 96; do
  set_dpi $dpi
  sleep 0.3
  [ $dpi = 96 ] || shot "${during%.png}_$((dpi / 6))px.png"
done
shot "$work/readded.png"
[ "$(differing "$during" "$work/readded.png")" = 0 ] || fail "the mark did not survive the re-add and the scale change"
pass "the mark stays through TaskbarCreated and 120 and 144 dpi and back"
for px in 16 20 24; do
  suffix=_${px}px
  [ $px = 16 ] && suffix=
  read -r red marked <<<"$(red_in_mark "${before%.png}$suffix.png" "${during%.png}$suffix.png")"
  echo "$px px: $marked pixels of the mark, $red of them the logo's red"
  [ "$marked" -gt 0 ] || fail "no mark at $px px"
  [ $((10 * red)) -lt "$marked" ] || fail "at $px px the mark is $red of $marked pixels the logo's red"
done
pass "the mark stands apart from the red logo at 16, 20 and 24 px"

echo "07 00 04 00 00 00 00 00" >&7
wait_for "$log" 'tray badge off' || fail "the second press did not take the mark off"
grep -q 'MicrophoneMute: unmuted' "$log" || fail "the second press did not unmute"
wait_for "$log" 'sound cue: live' || fail "no sound cue for the unmute"
[ "$(grep -c "$live" "$log")" -ge 2 ] || fail "the hint does not say live again: $(grep 'tray hint' "$log")"
sleep 0.5
shot "$after"
d_before_after=$(differing "$before" "$after")
d_before_muted=$(differing "$before" "$during")
echo "pixels differing: before/after $d_before_after, before/muted $d_before_muted"
echo "screenshots: $(basename "$before") $(basename "$during") $(basename "$after")"
[ "$d_before_after" = 0 ] || fail "the icon after two presses differs from the one before ($d_before_after pixels)"
[ "$d_before_muted" -gt 0 ] || fail "the muted icon looks like the plain one"
pass "the second press brings back the plain icon, pixel for pixel, and the live hint"
grep '^exception' "$log" && fail "exceptions in the monitor"

exec 7>&-
"$WINESERVER" -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
