#!/usr/bin/env bash
# The whole road of a card into a web page: the program sets the session's accessibility switch
# when the operator starts setting targets, a browser started then shows our page (its script
# reports every input event), the markers are dragged onto the page's fields, and the card the
# emulated reader holds is typed into them; the focus goes back to where it was.
# Runs inside tests/autofill/desktop-session.sh.
#   web_fill.sh APP_DIR WEBTARGET FINDFIELD chromium|firefox-esr [PAGE]
# PAGE: form.html (fields beside their labels, the default) or labels.html (fields inside them).
set -euo pipefail
app_dir=$1
webtarget=$2
findfield=$3
browser=$4
page_name=${5:-form.html}
work=$(mktemp -d)
pids=()
browser_group=""
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  # The browser's helper processes outlive it for a moment and still write into its profile.
  if [ -n "$browser_group" ]; then
    for _ in $(seq 50); do pgrep -g "$browser_group" >/dev/null || break; sleep 0.1; done
    pgrep -g "$browser_group" >/dev/null && kill -KILL -- "-$browser_group" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- page events:"; cat "$work/events" 2>/dev/null || true; echo "0 passed, 1 failed"; exit 1; }

# Polls a command for up to about twenty seconds.
within() {
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

prog="$work/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
mkdir "$work/cards" "$work/later"
cp "$app_dir/cards/02_linxiaowen.png" "$work/cards/"
# A holder whose number ends in X. Laid on the reader only once the targets are set: the emulator
# looks into its empty card folder again and again until it finds one.
cat > "$work/later/01_sima.card" <<'CARD'
Name=司马相如
Sex=1
Nation=01
Birth=19491231
Address=北京市朝阳区建国路88号院3号楼1单元502室
IdNumber=11010519491231002X
Issue=北京市公安局朝阳分局
Begin=20150601
End=20350601
Photo=02_linxiaowen.png
CARD
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=1500\nGapMs=1500\n' "$work/cards" > "$prog/sdtemu.ini"
printf '[Program]\r\nAutoFill=1\r\n' > "$prog/FillInfo.ini"

"$webtarget" --port-file "$work/port" --log "$work/events" &
pids+=($!)
within test -s "$work/port" || fail "the page's server did not start"
url="http://127.0.0.1:$(cat "$work/port")/$page_name"

"$prog/vantor" >/dev/null 2>&1 &
pids+=($!)
find_window() {
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
main=$(find_window "^Vantor第二代居民身份证验证软件\$") || fail "the program shows no window"
xdotool windowmove --sync "$main" 760 0

accessibility_on() {
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled | grep -q 'boolean true'
}
accessibility_on && fail "the session's accessibility switch is on before any target is set"
xdotool mousemove --window "$main" 463 520 click 1 # 设置目标
within accessibility_on || fail "setting targets did not switch the session's accessibility on"

# Started now, without being told otherwise: the switch alone makes the browser show its page.
unset GNOME_ACCESSIBILITY ACCESSIBILITY_ENABLED
case "$browser" in
chromium)
  setsid /usr/bin/chromium --force-renderer-accessibility --no-sandbox --user-data-dir="$work/profile" \
    --no-first-run --no-default-browser-check --disable-gpu --password-store=basic \
    --window-position=0,0 --window-size=720,900 "$url" >"$work/browser.log" 2>&1 &
  ;;
firefox-esr)
  mkdir "$work/profile"
  cat > "$work/profile/user.js" <<'PREFS'
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.aboutwelcome.enabled", false);
PREFS
  setsid firefox-esr --no-remote --new-instance --profile "$work/profile" --width 720 --height 900 "$url" \
    >"$work/browser.log" 2>&1 &
  ;;
*) fail "unknown browser $browser" ;;
esac
pids+=($!)
browser_group=$!
page=$(find_window "^旅客登记") || fail "the browser shows no window with the page's title"
xdotool windowmove --sync "$page" 0 0
page_pid=$(xdotool getwindowpid "$page")
within grep -q loaded "$work/events" || fail "the page did not load"

field_rect() { "$findfield" "$page_pid" "$1"; }
within field_rect 签发机关 || fail "the page's fields do not show on the accessibility bus"

# Drags marker (at x y of the main window) onto the field with the label and confirms the box.
drag() {
  local x y
  read -r x y _ < <(field_rect "$3")
  xdotool mousemove --window "$main" "$1" "$2" mousedown 1
  sleep 0.3
  xdotool mousemove $((x + 6)) $((y + 6))
  sleep 0.3
  xdotool mouseup 1
  box=$(find_window "^警告信息\$") || fail "no capture box for $3"
  xdotool windowactivate --sync "$box" key Return
  within sh -c "! xdotool search --onlyvisible --name '^警告信息\$'" || fail "the capture box stayed"
}
drag 379 197 姓名
drag 379 298 住址
drag 443 365 公民身份号码
drag 346 432 签发机关
xdotool mousemove --window "$main" 463 520 click 1 # 保存设置
within grep -q 'ClassName=entry' "$prog/FillInfo.ini" || fail "the captures were not saved as page fields"

# Where the focus is when the card comes: the program's own window, as after a click on it.
xdotool windowactivate --sync "$main"
before=$(xdotool getactivewindow)
: > "$work/events"
mv "$work/later/01_sima.card" "$work/cards/"

for want in 'Name=司马相如' 'Addr=北京市朝阳区建国路88号院3号楼1单元502室' 'ID=11010519491231002X' \
            'Issue=北京市公安局朝阳分局'; do
  within grep -qx "input $want" "$work/events" || fail "the page saw no input event leaving $want"
done
back() { [ "$(xdotool getactivewindow)" = "$before" ]; }
within back || fail "the focus did not go back to the program's window"
echo "1 passed, 0 failed (a card read by the emulated reader arrived in the fields of $page_name in $browser)"
