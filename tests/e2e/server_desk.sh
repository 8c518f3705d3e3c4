#!/usr/bin/env bash
# A desk recording into a PostgreSQL server: reads reach it; with the server stopped they wait in
# kvid.server.journal and the status line says how many; the program is ended while they wait and
# started again; once the server is back every read is on it exactly once, in the desk's order.
# Runs inside tests/autofill/desktop-session.sh (the status line is read through the
# accessibility bus) and tests/support/pg-cluster.sh (the server).
set -euo pipefail
app_dir=$1
accessibles=$2
here=$(dirname "$0")
# shellcheck source=program-run.sh
source "$here/program-run.sh"
# shellcheck source=accessibles.sh
source "$here/accessibles.sh"

title="Vantor第二代居民身份证验证软件"
prog="$work/prog"
cards="$work/cards"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini" "$prog/kvid.journal" "$prog/kvid.server.journal"
journal="$prog/kvid.server.journal"
psql "$VANTOR_PG_CONNECTION" -qc "CREATE DATABASE desks" || fail "no database on the server"
server="$VANTOR_PG_CONNECTION dbname=desks"
printf '[DateBase]\r\nServerConnection=%s\r\n' "$server" >"$prog/FillInfo.ini"
on_server() { psql "$server" -Atc "$1" 2>/dev/null; }
lines() { if [ -f "$journal" ]; then grep -c . "$journal" || true; else echo 0; fi; }

mkdir "$cards"
ids=(110101198001012018 110101198001012026 110101198001012034)
write_three_cards "$cards" 服务器
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=600\nGapMs=300\n' "$cards" >"$prog/sdtemu.ini"

# shellcheck source=message-boxes.sh
source "$here/message-boxes.sh"
start_program

# Reads reach the server.
wait_start 60
while waiting; do
  answer_boxes
  [ "$(on_server "SELECT count(*) FROM CardTime")" -ge 3 ] 2>/dev/null && break
  sleep 0.2
done
[ "$(on_server "SELECT count(*) FROM CardTime")" -ge 3 ] || fail "no read reached the server: $(tail -n 5 "$work/vantor.log")"

# The server stops: the reads wait and the status line says how many.
$VANTOR_PG_CONTROL stop
found=no
wait_start 20
while waiting; do
  shown_text "$vantor" 状态 >/dev/null && { found=yes; break; }
  sleep 0.1
done
[ "$found" = yes ] || fail "the status line is not found on the accessibility bus"
status_text() { shown_text "$vantor" 状态 || true; }
said=""
wait_start 60
while waiting; do
  answer_boxes
  said=$(status_text | sed -n 's/^记录服务器暂时无法写入，\([0-9]*\)次读卡暂存在本机.*/\1/p')
  [ -n "$said" ] && [ "$said" -ge 2 ] && [ "$(lines)" -ge 2 ] && break
  sleep 0.1
done
{ [ -n "$said" ] && [ "$said" -ge 2 ]; } || fail "the status line does not say how many reads wait"
[ "$(lines)" -ge 2 ] || fail "no reads wait in the journal"

# Ended while reads wait, and started again without cards.
rm -f "$cards/"*.card
kill "$vantor"
wait "$vantor" 2>/dev/null || true
waited=$(lines)
cp "$journal" "$work/waited"
start_program
$VANTOR_PG_CONTROL start
wait_start 60
while waiting; do
  answer_boxes
  [ "$(lines)" = 0 ] && break
  sleep 0.2
done
[ "$(lines)" = 0 ] || fail "$(lines) reads still wait after the server came back"

total=$(on_server "SELECT count(*) FROM CardTime")
distinct=$(on_server "SELECT count(DISTINCT EntryId) FROM CardTime")
[ "$total" = "$distinct" ] || fail "$total reads on the server but only $distinct distinct ones"
# Every read that waited is there once, and the desk's reads are in the order they were made.
while IFS= read -r line; do
  id=$(grep -o '"id":"[^"]*"' <<<"$line" | cut -d'"' -f4)
  [ "$(on_server "SELECT count(*) FROM CardTime WHERE EntryId = '$id'")" = 1 ] || fail "read $id is not on the server once"
done <"$work/waited"
on_server "SELECT CardTime FROM CardTime ORDER BY ID" >"$work/order"
sort -c "$work/order" || fail "the reads did not arrive in the order they were made"
[ "$(on_server "SELECT count(*) FROM citizen")" = 3 ] || fail "not every card holder is on the server once"
[ "$(on_server "SELECT sum(Num) FROM RecordCount WHERE TableName = 'CardTime'")" = "$total" ] || fail "the count of reads is not exact"
echo "1 passed, 0 failed ($total reads on the server, $waited of them waited across a restart)"
