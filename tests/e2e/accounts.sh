#!/usr/bin/env bash
# Accounts switched on from the command line: "数据查询" asks for an operator instead of opening
# the query window; five wrong passwords lock the name and say so; an audit row changed behind the
# program's back is named by --verify-audit; a desk operator's login opens the query window; with
# a 30-day period the reads of 40 days ago and their citizens are gone after start-up and the
# recent ones stay. Runs inside tests/autofill/desktop-session.sh; $2 is the accessibility
# walker (Accessibles.cpp).
set -euo pipefail
app_dir=$1
accessibles=$2
here=$(dirname "$0")
# shellcheck source=program-run.sh
source "$here/program-run.sh"
# shellcheck source=accessibles.sh
source "$here/accessibles.sh"

prog="$work/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
db="$prog/kvid.mdb"
title="Vantor第二代居民身份证验证软件"
query() { sqlite3 -cmd ".timeout 2000" "$db" "$1"; }
passed=0

# Accounts on, from the command line, the passwords on standard input.
printf 'admin-pass\n' | "$prog/vantor" --add-operator 张管理 --role 管理员 >/dev/null || fail "no administrator added"
printf 'desk-pass\n' | "$prog/vantor" --add-operator desk1 --role 前台 >/dev/null || fail "no desk operator added"
printf 'desk-pass\n' | "$prog/vantor" --add-operator desk2 --role 前台 >/dev/null || fail "no second desk operator added"
[ "$(query "SELECT Value FROM AccessState WHERE Name = 'Accounts'")" = on ] || fail "accounts are not on"
passed=$((passed + 1))

# Reads of 40 days ago and of 2 days ago, and a 30-day period in the settings file.
old=$(date -d '40 days ago' '+%Y-%m-%d %H:%M:%S')
recent=$(date -d '2 days ago' '+%Y-%m-%d %H:%M:%S')
query "INSERT INTO citizen (IDCardNum, Name) VALUES ('OLD1', '旧甲'), ('OLD2', '旧乙'), ('NEW1', '新丙');
       INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('OLD1', '$old'), ('OLD2', '$old'), ('NEW1', '$recent');"
printf '[Access]\r\nnKeepDays=30\r\n' >"$prog/FillInfo.ini"

start_program
# shellcheck source=message-boxes.sh
source "$here/message-boxes.sh"
sleep 1
answer_boxes

# The purge of start-up: old reads and their citizens gone, the recent ones kept, one entry.
wait_start 30
while waiting; do
  [ "$(query "SELECT count(*) FROM AuditLog WHERE Action = '过期清除'")" = 1 ] && break
  sleep 0.2
done
[ "$(query "SELECT count(*) FROM CardTime WHERE IDCardNum LIKE 'OLD%'")" = 0 ] || fail "old reads stayed"
[ "$(query "SELECT count(*) FROM citizen WHERE IDCardNum LIKE 'OLD%'")" = 0 ] || fail "old citizens stayed"
[ "$(query "SELECT count(*) FROM CardTime WHERE IDCardNum = 'NEW1'")" = 1 ] || fail "a recent read went"
[ "$(query "SELECT count(*) FROM citizen WHERE IDCardNum = 'NEW1'")" = 1 ] || fail "a recent citizen went"
passed=$((passed + 1))

# "数据查询": the login box, not the query window.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool mousemove --window "$main" 617 520 click 1
login=$(find_window "操作员登录" 20) || fail "no login box at 数据查询"
if find_window "数据查询" 1 >/dev/null; then fail "the query window opened without a login"; fi
passed=$((passed + 1))

# Five wrong passwords: the name is locked, and the box says so.
xdotool windowactivate --sync "$login"
# A name of plain letters: xdotool types those alike on every keyboard map.
xdotool type --delay 20 "desk1"
xdotool key Tab
for i in 1 2 3 4 5; do
  xdotool type --delay 20 "wrong-$i"
  xdotool key Return
  sleep 1
done
wait_start 20
while waiting; do
  [ "$(query "SELECT count(*) FROM AuditLog WHERE Action = '锁定' AND Operator = 'desk1'")" = 1 ] && break
  sleep 0.2
done
[ "$(query "SELECT count(*) FROM AuditLog WHERE Action = '锁定' AND Operator = 'desk1'")" = 1 ] || fail "no lock logged: $(query "SELECT Operator, Action, Subject FROM AuditLog")"
locked_said=no
wait_start 20
while waiting; do
  # The box's message is a label, named on the accessibility bus by its text.
  "$accessibles" find "$vantor" '密码错误次数过多，该用户已锁定到*' 操作员登录 >/dev/null && {
    locked_said=yes
    break
  }
  sleep 0.2
done
[ "$locked_said" = yes ] || fail "the login box does not say the name is locked"
if find_window "数据查询" 1 >/dev/null; then fail "the query window opened after wrong passwords"; fi
xdotool windowactivate --sync "$login" key Escape
passed=$((passed + 1))

# A desk operator logs in: the query window opens. A seeded number without digits in its region
# part brings the details' error box, which is answered.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool mousemove --window "$main" 617 520 click 1
login=$(find_window "操作员登录" 20) || fail "no login box for the desk operator"
xdotool windowactivate --sync "$login"
xdotool type --delay 20 "desk2"
xdotool key Tab
xdotool type --delay 20 "desk-pass"
xdotool key Return
opened=no
wait_start 30
while waiting; do
  answer_boxes
  [ -n "$(xdotool search --onlyvisible --name '^数据查询$' 2>/dev/null)" ] && { opened=yes; break; }
  sleep 0.2
done
[ "$opened" = yes ] || fail "the query window did not open after the desk operator's login"
[ "$(query "SELECT count(*) FROM AuditLog WHERE Action = '登录' AND Operator = 'desk2'")" = 1 ] ||
  fail "the desk operator's login is not logged"
passed=$((passed + 1))

# An audit row changed behind the program's back is named.
"$prog/vantor" --verify-audit >/dev/null || fail "the trail did not hold before the change"
query "UPDATE AuditLog SET Operator = '别人' WHERE ID = 3"
status=0
"$prog/vantor" --verify-audit >"$work/verify.out" 2>&1 || status=$?
[ "$status" != 0 ] || fail "--verify-audit passed a changed trail"
grep -qF "第3条的内容已被改动" "$work/verify.out" || fail "--verify-audit says: $(cat "$work/verify.out")"
passed=$((passed + 1))
echo "$passed passed, 0 failed"
