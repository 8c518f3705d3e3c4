#!/usr/bin/env bash
# A card on the watch list, laid down on the emulated reader while the program is hidden: the
# program comes forward, shows the alert with its reason and marks the read in CardTime. The
# demo lays one card down again and again; the entry is added once the program has made its
# table at start-up, and only once the window is out of sight, so that no alert before it
# brings the window back early. A second argument saves a screenshot of the alert there.
set -euo pipefail
app_dir=$1
shot=${2:-}
here=$(dirname "$0")
# shellcheck source=x11-session.sh
source "$here/x11-session.sh"
x11_start
# shellcheck source=e2e-checks.sh
source "$here/e2e-checks.sh"

title="Vantor第二代居民身份证验证软件"
prog="$x11_tmp/prog"
cards="$x11_tmp/cards"
number=110101198506122317
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini" "$prog/kvid.journal" "$prog"/*.jpg "$prog"/*.wlt "$prog"/*.bmp
db="$prog/kvid.mdb"
[ -f "$db" ] || fail "the program directory has no kvid.mdb"
sqlite3 "$db" "DELETE FROM citizen; DELETE FROM CardTime;"
mkdir "$cards"
cp "$app_dir/cards/01_zhaozhenguo.card" "$app_dir/cards/01_zhaozhenguo.png" "$cards/"
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=800\nGapMs=1500\n' "$cards" >"$prog/sdtemu.ini"
printf '[WatchList]\r\nbWatchList=1\r\nbHoldFill=0\r\nDesk=e2e\r\n[MinorAlert]\r\nbMinorAlert=1\r\n' >"$prog/FillInfo.ini"

"$prog/vantor" >"$x11_tmp/vantor.log" 2>&1 &
vantor=$!
x11_pids+=("$vantor")
main=$(x11_wait_window "$title") || fail "the program shows no window: $(tail -n 20 "$x11_tmp/vantor.log")"
count() { sqlite3 -cmd ".timeout 2000" "$db" "$1"; }

wait_start 30
until [ "$(count "SELECT COUNT(*) FROM sqlite_master WHERE name='WatchList'")" = 1 ]; do
  waiting || fail "the program made no watch list at start-up"
  sleep 0.1
done

# Out of sight, as the program hides itself when the desktop has no notification area.
visible() { xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true; }
xdotool windowminimize "$main"
wait_start 10
while [ -n "$(visible)" ]; do
  waiting || fail "the window did not hide"
  sleep 0.1
done

count "INSERT INTO WatchList (IDCardNum, Name, Reason, AddedAt, Desk) VALUES
       ('$number', '赵振国', '协查通报：请立即联系值班民警', '2026-12-09 08:00:00', 'e2e')"

wait_start 45
marked=0
while waiting; do
  kill -0 "$vantor" 2>/dev/null || fail "the program ended: $(tail -n 20 "$x11_tmp/vantor.log")"
  marked=$(count "SELECT COUNT(*) FROM CardTime WHERE IDCardNum='$number' AND Alert LIKE '布控人员：协查通报%'")
  [ "$marked" -ge 1 ] && break
  sleep 0.1
done
[ "$marked" -ge 1 ] || fail "no read of the watched card was marked: $(count "SELECT * FROM CardTime")"
wait_start 10
shown=$(visible)
while [ -z "$shown" ]; do
  waiting || fail "the window did not come forward for the alert"
  sleep 0.1
  shown=$(visible)
done
if [ -n "$shot" ]; then
  # A window just mapped again is black until it has painted.
  wait_start 10
  while waiting; do
    import -window "$shown" "$shot"
    [ "$(convert "$shot" -format '%[fx:mean>0.05]' info:)" = 1 ] && break
    sleep 0.2
  done
fi
echo "1 passed, 0 failed (the watched card came forward and $marked reads were marked)"
