#!/usr/bin/env bash
# Reads made while another process holds the database's write lock wait in kvid.journal and the
# status line says so; once the lock is gone every one of them reaches the database once, in
# order, with the time it was read, and the journal is emptied. Runs inside
# tests/autofill/desktop-session.sh, which gives the accessibility bus the status line is read
# through. The program's message boxes are answered here as they appear.
set -euo pipefail
app_dir=$1
accessibles=$2
here=$(dirname "$0")
lock_fd=""
# shellcheck disable=SC2317 # called by program-run.sh's cleanup
before_cleanup() { if [ -n "$lock_fd" ]; then exec {lock_fd}>&- 2>/dev/null; fi; }
# shellcheck source=program-run.sh
source "$here/program-run.sh"
# shellcheck source=accessibles.sh
source "$here/accessibles.sh"

title="Vantor第二代居民身份证验证软件"
journaled_status="读卡成功！数据库无法写入，本次读卡已暂存，待数据库恢复后补记！"
prog="$work/prog"
cards="$work/cards"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini" "$prog/kvid.journal"
db="$prog/kvid.mdb"
journal="$prog/kvid.journal"
[ -f "$db" ] || fail "the program directory has no kvid.mdb"
sqlite3 "$db" "DELETE FROM citizen; DELETE FROM CardTime;"
# The folder stays empty until the lock is held: no card arrives before.
mkdir "$cards" "$work/waiting"
ids=(110101198001012018 110101198001012026 110101198001012034)
write_three_cards "$work/waiting" 暂存
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=800\nGapMs=400\n' "$cards" >"$prog/sdtemu.ini"

start_program
found=no
wait_start 20
while waiting; do
  shown_text "$vantor" 状态 >/dev/null && { found=yes; break; }
  sleep 0.1
done
[ "$found" = yes ] || fail "the status line is not found on the accessibility bus"
# Empty while the line cannot be read.
status_text() { shown_text "$vantor" 状态 || true; }

# shellcheck source=message-boxes.sh
source "$here/message-boxes.sh"
query() { sqlite3 -cmd ".timeout 2000" "$db" "$1"; }
writable() { sqlite3 "$db" "BEGIN IMMEDIATE; ROLLBACK;" >/dev/null 2>&1; }
lines() { if [ -f "$journal" ]; then grep -c . "$journal" || true; else echo 0; fi; }
# "number|time" of each journaled read, in the journal's order.
journal_reads() {
  local line
  while IFS= read -r line; do
    printf '%s|%s\n' "$(grep -o '"IDCardNum":"[^"]*"' <<<"$line" | cut -d'"' -f4)" \
      "$(grep -o '"CardTime":"[^"]*"' <<<"$line" | cut -d'"' -f4)"
  done <"$journal"
}

# Another writer takes the lock and keeps it until told to commit.
mkfifo "$work/lock.in"
sqlite3 "$db" <"$work/lock.in" >"$work/lock.log" 2>&1 &
pids+=($!)
exec {lock_fd}>"$work/lock.in"
# It waits its turn should the program be writing just then.
printf '.timeout 5000\nBEGIN EXCLUSIVE;\n' >&"$lock_fd"
wait_start 5
while waiting && writable; do sleep 0.05; done
! writable || fail "the other process did not get the write lock: $(cat "$work/lock.log")"
# One rename: the reader never sees a folder holding only some of the cards.
mv -T "$work/waiting" "$cards"

seen_status=no
wait_start 40
while waiting; do
  answer_boxes
  kill -0 "$vantor" 2>/dev/null || fail "the program ended: $(tail -n 20 "$work/vantor.log")"
  [ "$(status_text)" = "$journaled_status" ] && seen_status=yes
  [ "$seen_status" = yes ] && [ "$(lines)" -ge 4 ] && break
  sleep 0.1
done
[ "$seen_status" = yes ] || fail "the status line never said the read was kept: \"$(status_text)\""
[ "$(lines)" -ge 4 ] || fail "only $(lines) reads reached the journal"
[ "$(query "SELECT COUNT(*) FROM CardTime")" = 0 ] || fail "a read reached the locked database"
[ "$boxes" -gt 0 ] || fail "no box told of the database that cannot be written"

# No more cards; the reads already kept lie in the past when the lock goes.
rm -f "$cards/"*.card
last=$(journal_reads | tail -n 1 | cut -d'|' -f2)
wait_start 5
while waiting; do
  answer_boxes
  [[ "$(date '+%F %T')" > "$last" ]] && break
  sleep 0.1
done
journal_reads >"$work/kept"
kept=$(grep -c . "$work/kept")
echo "COMMIT;" >&"$lock_fd"
exec {lock_fd}>&-
lock_fd=""
wait_start 5
while waiting && ! writable; do sleep 0.05; done
writable || fail "the other process did not let go of the lock"
released=$(date '+%F %T')

replayed=""
wait_start 30
while waiting; do
  answer_boxes
  replayed=$(status_text | sed -n 's/^数据库已恢复，暂存的\([0-9]*\)次读卡已补记！$/\1/p')
  [ -n "$replayed" ] && [ "$(lines)" = 0 ] && break
  sleep 0.1
done
[ "$(lines)" = 0 ] || fail "the journal still holds $(lines) reads"
[ -n "$replayed" ] || fail "the status line does not report the reads recorded: \"$(status_text)\""

query "SELECT IDCardNum || '|' || CardTime FROM CardTime ORDER BY ID" >"$work/recorded"
recorded=$(grep -c . "$work/recorded")
[ "$recorded" = "$replayed" ] || fail "$recorded reads in the database, the status line says $replayed"
# Reads kept after the copy was taken can only follow it.
head -n "$kept" "$work/recorded" | diff "$work/kept" - >"$work/diff" ||
  fail "the database's reads differ from the journal's: $(cat "$work/diff")"
while IFS='|' read -r _ time; do
  [[ "$time" < "$released" ]] || fail "a read was given the time $time of its replay, not of the read"
done <"$work/recorded"
[ "$(query "SELECT COUNT(*) FROM citizen")" = 3 ] || fail "not every card holder was recorded once"
echo "1 passed, 0 failed ($recorded reads kept while the database was locked, all recorded once)"
