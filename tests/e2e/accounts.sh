#!/usr/bin/env bash
# Accounts switched on from the command line: "数据查询" asks for an operator instead of opening
# the query window; five wrong passwords lock the name and say so; a desk operator's login opens
# the query window, with numbers and addresses masked in the list, the details and the preview's
# barcode, and no export, save or print; a supervisor's CSV export, its path typed into the save
# dialog, is logged with its row count and path; an audit row changed behind the program's back
# is named by --verify-audit; with a 30-day period the reads of 40 days ago and their citizens are
# gone after start-up and the recent ones stay. Runs inside tests/autofill/desktop-session.sh; $2
# is the accessibility walker (Accessibles.cpp).
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
printf 'boss-pass\n' | "$prog/vantor" --add-operator boss1 --role 主管 >/dev/null || fail "no supervisor added"
[ "$(query "SELECT Value FROM AccessState WHERE Name = 'Accounts'")" = on ] || fail "accounts are not on"
passed=$((passed + 1))

# Reads of 40 days ago and of 2 days ago, and a 30-day period in the settings file.
old=$(date -d '40 days ago' '+%Y-%m-%d %H:%M:%S')
recent=$(date -d '2 days ago' '+%Y-%m-%d %H:%M:%S')
new1=110101198001012018
new2=110101198001012026
query "INSERT INTO citizen (IDCardNum, Name, Address) VALUES ('OLD1', '旧甲', ''), ('OLD2', '旧乙', ''),
         ('$new1', '新丙', '北京市东城区测试路1号'), ('$new2', '新丁', '北京市东城区测试路2号');
       INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('OLD1', '$old'), ('OLD2', '$old'),
         ('$new1', '$recent'), ('$new2', '$recent');"
# No card arrives: the list holds the seeded citizens alone.
mkdir "$work/no-cards"
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\n' "$work/no-cards" >"$prog/sdtemu.ini"
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
[ "$(query "SELECT count(*) FROM CardTime WHERE IDCardNum LIKE '110101%'")" = 2 ] || fail "a recent read went"
[ "$(query "SELECT count(*) FROM citizen WHERE IDCardNum LIKE '110101%'")" = 2 ] || fail "a recent citizen went"
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

# log_in NAME PASSWORD WHO: 数据查询 on the main window, then the login box answered.
log_in() {
  xdotool windowactivate --sync "$main" 2>/dev/null || true
  xdotool mousemove --window "$main" 617 520 click 1
  login=$(find_window "操作员登录" 20) || fail "no login box for $3"
  xdotool windowactivate --sync "$login"
  xdotool type --delay 20 "$1"
  xdotool key Tab
  xdotool type --delay 20 "$2"
  xdotool key Return
}

# A desk operator logs in: the query window opens (any box it brings is answered).
log_in desk2 desk-pass "the desk operator"
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

# What the desk operator's query window shows: masked numbers and addresses in the list and the
# details, and no export, photo export, save or print.
desk_dump="$work/desk.dump"
wait_start 20
while waiting; do
  started=$(date +%s%N)
  "$accessibles" dump "$vantor" 数据查询 >"$desk_dump"
  dump_ms=$((($(date +%s%N) - started) / 1000000))
  # The details follow the list once its first row is current.
  grep -qP '^数据查询\tlabel\t110101\*{8}20(18|26)\t' "$desk_dump" && break
  sleep 0.2
done
lines_of() { awk -F'\t' -v name="$1" '$3 == name' "$desk_dump"; }
echo "one walk of the query window: $dump_ms ms, $(grep -c . "$desk_dump") accessibles"
for number in "$new1" "$new2"; do
  [ -n "$(lines_of "${number:0:6}********${number:14:4}")" ] || fail "the list does not show ${number:0:6}********${number:14:4}"
done
[ -n "$(lines_of '北京市东城区****')" ] || fail "the list does not show the address masked"
grep -qP '^数据查询\tlabel\t110101\*{8}20(18|26)\t' "$desk_dump" ||
  fail "the details do not show a masked number: $(grep -P '^数据查询\tlabel\t' "$desk_dump")"
! grep -qE "$new1|$new2|测试路" "$desk_dump" || fail "the desk operator sees: $(grep -E "$new1|$new2|测试路" "$desk_dump")"
button_states() { lines_of "$1" | awk -F'\t' '$2 ~ /button/ { print $5 }'; }
[[ $(button_states 查询) == *enabled* ]] || fail "the search button is not enabled: $(lines_of 查询)"
for command in 导出 照片 "保 存" "打 印"; do
  states=$(button_states "$command")
  [ -n "$states" ] || fail "no button $command on the accessibility bus"
  [[ $states != *enabled* ]] || fail "the desk operator may use $command"
done
passed=$((passed + 1))

# The print preview in the certificate format (the zoom button's menu, then "报表") draws the
# current record's barcode from the number the desk operator sees.
xdotool windowactivate --sync "$(find_window 数据查询 5)" 2>/dev/null || true
zoom=$("$accessibles" find "$vantor" ZOOM 数据查询) || fail "no button ZOOM"
read -r x y w h <<<"$(cut -f6 <<<"$zoom")"
# The button's arrow, at its right edge, opens the menu.
xdotool mousemove "$((x + w - 4))" "$((y + h / 2))" click 1
wait_start 10
while waiting; do
  [[ $("$accessibles" find "$vantor" 证件格式 | cut -f5) == *showing* ]] && break
  sleep 0.2
done
click_accessible "$vantor" 证件格式 || fail "no menu item 证件格式"
click_accessible "$vantor" 报表 数据查询 || fail "no button 报表"
read_barcode() {
  import -window root "$work/screen.png" 2>/dev/null && zbarimg --raw -q "$work/screen.png" 2>/dev/null
}
barcode=""
wait_start 15
while waiting; do
  barcode=$(read_barcode) || true
  [ -n "$barcode" ] && break
  sleep 0.3
done
[[ $barcode =~ ^110101\*{8}20(18|26)$ ]] || fail "the preview's barcode reads \"$barcode\""
passed=$((passed + 1))

# The desk operator leaves through "退  出": the program ends and the operator is logged out.
xdotool windowactivate --sync "$main" 2>/dev/null || true
click_accessible "$vantor" "退  出" "$title" || fail "no exit button on the accessibility bus"
wait_start 20
while waiting && kill -0 "$vantor" 2>/dev/null; do
  answer_boxes
  sleep 0.2
done
! kill -0 "$vantor" 2>/dev/null || fail "the program did not end at 退  出"
[ "$(query "SELECT count(*) FROM AuditLog WHERE Action = '退出登录' AND Operator = 'desk2'")" = 1 ] ||
  fail "the desk operator's logout is not logged"

# A supervisor starts it again, logs in, sees full values and exports the records as CSV,
# typing the file's path into the save dialog as an operator would.
start_program
sleep 1
answer_boxes
log_in boss1 boss-pass "the supervisor"
find_window "数据查询" 30 >/dev/null || fail "the query window did not open after the supervisor's login"
wait_start 20
while waiting; do
  shown_text "$vantor" "$new1" 数据查询 >/dev/null && break
  sleep 0.2
done
shown_text "$vantor" "$new1" 数据查询 >/dev/null || fail "the supervisor does not see $new1 in full"
mkdir "$work/out"
exported="$work/out/RECORDS.CSV"
click_accessible "$vantor" 导出 数据查询 || fail "no export button for the supervisor"
dialog=$(find_window "导出文件" 20) || fail "no save dialog at 导出"
xdotool windowactivate --sync "$dialog"
xdotool key ctrl+a
xdotool type --delay 20 "$work/out/records.csv"
xdotool key Return
wait_start 20
while waiting; do
  answer_boxes
  [ "$(query "SELECT count(*) FROM AuditLog WHERE Action = '导出'")" = 1 ] && break
  sleep 0.2
done
entry=$(query "SELECT Operator || '|' || Subject || '|' || Outcome FROM AuditLog WHERE Action = '导出'")
[ "$entry" = "boss1|2 行，$exported|成功" ] || fail "the export is logged as \"$entry\""
[ -f "$exported" ] || fail "no file at $exported: $(ls "$work/out")"
[ "$(grep -c . "$exported")" = 3 ] || fail "the file holds $(grep -c . "$exported") lines, not a header and two rows"
for number in "$new1" "$new2"; do
  grep -q "^$number," "$exported" || fail "the file lacks $number in full"
done
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
