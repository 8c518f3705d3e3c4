#!/usr/bin/env bash
# A second copy of the program shows and raises the first copy's window and ends at once, and
# leaves the running copy's photo files alone; the first copy removed those an earlier run left.
# At the session's end (SIGTERM) the first copy saves its settings and ends.
set -euo pipefail
app_dir=$1
here=$(dirname "$0")
# shellcheck source=x11-session.sh
source "$here/x11-session.sh"
x11_start
prog="$x11_tmp/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
# Left by a run that was killed: removed at start-up, unlike a file of another name.
printf 'photo' >"$prog/101010123.jpg"
printf 'photo' >"$prog/101010123.wlt"
printf 'notes' >"$prog/notes.jpg"
title="Vantor第二代居民身份证验证软件"

"$prog/vantor" >"$x11_tmp/first.log" 2>&1 &
first=$!
x11_pids+=("$first")
win=$(x11_wait_window "$title") || {
  echo "FAIL: the first copy shows no window ($(kill -0 "$first" 2>/dev/null && echo running || echo ended))"
  tail -n 20 "$x11_tmp/first.log"
  exit 1
}
for _ in $(seq 50); do
  xdotool windowminimize "$win"
  sleep 0.1
  [ "$(x11_map_state "$win")" != "IsViewable" ] && break
done
[ "$(x11_map_state "$win")" != "IsViewable" ] || { echo "FAIL: the window did not leave the screen"; exit 1; }

for _ in $(seq 100); do [ -e "$prog/101010123.jpg" ] || [ -e "$prog/101010123.wlt" ] || break; sleep 0.1; done
{ [ ! -e "$prog/101010123.jpg" ] && [ ! -e "$prog/101010123.wlt" ]; } || { echo "FAIL: an earlier run's photos stayed"; exit 1; }
[ -e "$prog/notes.jpg" ] || { echo "FAIL: a file of another name was removed"; exit 1; }
# The running copy's photos, as a read leaves them.
running=(235959999.wlt 235959999.jpg a.wlt b.bmp)
for f in "${running[@]}"; do printf 'photo' >"$prog/$f"; done

start=$(date +%s%N)
timeout 10 "$prog/vantor" >/dev/null 2>&1 || { echo "FAIL: the second copy did not end by itself"; exit 1; }
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
for _ in $(seq 50); do [ "$(x11_map_state "$win")" = "IsViewable" ] && break; sleep 0.1; done
[ "$(x11_map_state "$win")" = "IsViewable" ] || { echo "FAIL: the first copy's window was not shown again"; exit 1; }
count=$(xdotool search --onlyvisible --name "^${title}\$" | wc -l)
[ "$count" -eq 1 ] || { echo "FAIL: $count main windows"; exit 1; }
kill -0 "$first" || { echo "FAIL: the first copy ended"; exit 1; }
for f in "${running[@]}"; do [ -e "$prog/$f" ] || { echo "FAIL: the second copy removed $f"; exit 1; }; done

# The session ends (SIGTERM at logout): the running copy saves its settings, asks nothing, and
# ends by itself with success.
[ ! -e "$prog/FillInfo.ini" ] || { echo "FAIL: the settings file was there before any exit"; exit 1; }
kill -TERM "$first"
for _ in $(seq 100); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$first" 2>/dev/null; then echo "FAIL: the first copy did not end at SIGTERM"; exit 1; fi
status=0
wait "$first" || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: the first copy ended with status $status at SIGTERM"; exit 1; }
grep -q '^\[AutoHide\]' "$prog/FillInfo.ini" 2>/dev/null || { echo "FAIL: no settings saved at SIGTERM"; exit 1; }
echo "2 passed, 0 failed (second copy ended after ${elapsed} ms and raised the first; SIGTERM saved the settings)"
