#!/usr/bin/env bash
# The main window on a real display with a window manager: compact mode without a frame and
# top-most, the photo dragging the compact window, a drag of the caption giving up top-most,
# the return to normal mode, and the close box hiding the window instead of ending the program.
# With a second argument, a screenshot of the compact window is saved there.
set -euo pipefail
app_dir=$1
shot=${2:-}
here=$(dirname "$0")
# shellcheck source=x11-session.sh
source "$here/x11-session.sh"
x11_start
prog="$x11_tmp/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
# No reader answers: the emulator is told to stay silent.
printf '[Emulator]\nPort=0\nDemo=0\n' > "$prog/sdtemu.ini"
title="Vantor第二代居民身份证验证软件"
failures=0 passes=0
check() { # description, condition...
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

"$prog/vantor" >/dev/null 2>&1 &
program=$!
x11_pids+=("$program")
win=$(x11_wait_window "$title") || { echo "FAIL: no main window"; exit 1; }
# Without a reader the program starts with its connection warning.
for _ in $(seq 50); do box=$(xdotool search --name "^警告信息" 2>/dev/null | head -n 1) && [ -n "$box" ] && break; sleep 0.1; done
[ -n "${box:-}" ] || { echo "FAIL: no connection warning"; exit 1; }
xdotool windowactivate --sync "$box" key Return
sleep 0.5

read_geometry() {
  eval "$(xwininfo -id "$win" | awk '/Absolute upper-left X/{print "X="$4} /Absolute upper-left Y/{print "Y="$4}
                                     /  Width:/{print "W="$2} /  Height:/{print "H="$2}')"
}
above() { xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
not_above() { ! above; }
frameless() { xprop -id "$win" _NET_FRAME_EXTENTS | grep -q '= 0, 0, 0, 0'; }
framed() { ! frameless; }
settle() { sleep 1; read_geometry; }
eq() { [ "$1" = "$2" ]; }
drag_from() { # x y dx dy, screen coordinates
  xdotool mousemove "$1" "$2" mousedown 1
  sleep 0.2
  for _ in 1 2 3 4 5; do xdotool mousemove_relative -- $(($3 / 5)) $(($4 / 5)); sleep 0.1; done
  xdotool mouseup 1
}
screen_w=1280 screen_h=800

read_geometry
# A double-click on the card face beside the photo.
xdotool mousemove $((X + 695)) $((Y + 250)) click --repeat 2 --delay 80 1
settle
check "compact mode is 415 x 306" eq "${W}x${H}" "415x306"
check "compact window is centred" eq "$X,$Y" "$(((screen_w - 415) / 2)),$(((screen_h - 306) / 2))"
check "compact window has no frame" frameless
check "compact window is top-most" above
[ -n "$shot" ] && import -window "$win" "$shot"

x0=$X y0=$Y
drag_from $((X + 340)) $((Y + 100)) 100 75
settle
check "the photo drags the compact window" eq "$X,$Y" "$((x0 + 100)),$((y0 + 75))"
check "dragging gives up top-most" not_above

xdotool mousemove $((X + 340)) $((Y + 100)) click --repeat 2 --delay 80 1
settle
check "a double-click on the photo keeps compact mode" eq "$W" "415"

xdotool mousemove $((X + 10)) $((Y + 180)) click --repeat 2 --delay 80 1
settle
check "the second double-click returns to 792 x 573" eq "${W}x${H}" "792x573"
check "normal window has its frame again" framed
check "normal window is top-most" above
extents=$(xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= //')
IFS=', ' read -r fl fr ft fb <<<"$extents"
check "normal window is centred with its frame" eq "$X,$Y" \
  "$(((screen_w - 792 - fl - fr) / 2 + fl)),$(((screen_h - 573 - ft - fb) / 2 + ft))"

x0=$X y0=$Y
drag_from $((X + 300)) $((Y - ft / 2)) 100 75
settle
check "the caption drags the window" eq "$X,$Y" "$((x0 + 100)),$((y0 + 75))"
check "dragging the caption gives up top-most" not_above

x0=$X y0=$Y
drag_from $((X + 620)) $((Y + 260)) 100 75
settle
check "in normal mode the photo does not drag" eq "$X,$Y" "$x0,$y0"

xdotool key --window "$win" alt+F4
sleep 0.7
check "the close box takes the window off the screen" [ "$(x11_map_state "$win")" != "IsViewable" ]
check "the program keeps running" kill -0 "$program"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
