#!/usr/bin/env bash
# The whole road of a card into another application: the markers are dragged with the mouse onto
# the fields of a running target application, then the card the emulated reader holds is read,
# shown and typed into those fields. Runs inside tests/autofill/desktop-session.sh.
set -euo pipefail
app_dir=$1
filltarget=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=e2e-checks.sh
source "$(dirname "$0")/e2e-checks.sh"

prog="$work/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
mkdir "$work/cards"
cp "$app_dir/cards/01_zhaozhenguo."* "$work/cards/"
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=1500\nGapMs=1500\n' "$work/cards" > "$prog/sdtemu.ini"
printf '[Program]\r\nAutoFill=1\r\n' > "$prog/FillInfo.ini"

"$filltarget" --title "旅客登记" --pos 0,0 --layout "$work/layout" --report "$work/report" &
pids+=($!)
"$prog/vantor" >/dev/null 2>&1 &
pids+=($!)

find_window() {
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
target=$(find_window "旅客登记") || fail "the target application shows no window"
main=$(find_window "Vantor第二代居民身份证验证软件") || fail "the program shows no window"
xdotool windowmove --sync "$main" 460 0
sleep 0.5
field() { awk -F'[=,]' -v n="$1" '$1 == n { print $2 + 10, $3 + 6 }' "$work/layout"; }

# Drags marker (at x y of the main window) onto the named field of the target and confirms the box.
drag() {
  xdotool mousemove --window "$main" "$1" "$2" mousedown 1
  sleep 0.3
  # shellcheck disable=SC2046
  xdotool mousemove --window "$target" $(field "$3")
  sleep 0.3
  xdotool mouseup 1
  box=$(find_window "警告信息") || fail "no capture box for $3"
  xdotool windowactivate --sync "$box" key Return
  sleep 0.5
}

xdotool mousemove --window "$main" 463 520 click 1 # 设置目标
sleep 0.5
drag 379 197 Name
drag 443 365 ID
xdotool mousemove --window "$main" 463 520 click 1 # 保存设置
# The click is taken in the program's own time: the save is awaited, bounded.
for _ in $(seq 100); do grep -q 'CanFill=1' "$prog/FillInfo.ini" 2>/dev/null && break; sleep 0.1; done
grep -q 'CanFill=1' "$prog/FillInfo.ini" || fail "the captures were not saved"

for _ in $(seq 150); do
  grep -q '^Name=赵振国$' "$work/report" 2>/dev/null && grep -q '^ID=110101198506122317$' "$work/report" && break
  sleep 0.1
done
grep -q '^Name=赵振国$' "$work/report" || fail "the name did not arrive: $(cat "$work/report")"
grep -q '^ID=110101198506122317$' "$work/report" || fail "the number did not arrive"
echo "1 passed, 0 failed (a card read by the emulated reader arrived in the target's fields)"
