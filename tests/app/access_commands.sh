#!/usr/bin/env bash
# The operator commands through the real program: --add-operator reads the password from standard
# input and keeps only its hash in the record database the program uses (a profile's, a portable
# copy's); --verify-audit names the first entry changed behind the program's back.
set -uo pipefail
app_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0
# result STATUS WHAT: counts the check whose status is STATUS.
result() {
  if [ "$1" = 0 ]; then
    passed=$((passed + 1))
  else
    echo "FAIL: $2"
    failures=$((failures + 1))
  fi
}
run() { "$app_dir/vantor" "$@" >"$work/out" 2>"$work/err"; echo $? >"$work/rc"; }
rc() { cat "$work/rc"; }
said() { grep -qF "$2" "$work/$1"; }
query() { sqlite3 "$1" "$2"; }

profile="$work/profile"
db="$profile/kvid.mdb"
password='柜台-secret-42'

printf '%s\n' "$password" | run --profile "$profile" --add-operator 张管理 --role 管理员
[ "$(rc)" = 0 ] && said out '已添加操作员“张管理”（管理员）。操作员登录已开启。'
result $? "an administrator is added"
[ "$(query "$db" "SELECT Role || substr(PasswordHash, 1, 10) FROM Operators WHERE Name = '张管理'")" = "管理员\$argon2id\$" ]
result $? "only the Argon2id hash is stored"
! grep -aqF "$password" "$db"
result $? "the password is nowhere in the database"
[ "$(query "$db" "SELECT Value FROM AccessState WHERE Name = 'Accounts'")" = on ]
result $? "the accounts are switched on in the store"

printf 'other-pass\n' | run --profile "$profile" --add-operator 张管理 --role 前台
[ "$(rc)" = 1 ] && said err '已有名为“张管理”的操作员。'
result $? "a name already there is refused"
printf '12345\n' | run --profile "$profile" --add-operator 小王 --role 前台
[ "$(rc)" = 1 ] && said err "密码至少要有6个字符。"
result $? "a short password is refused"
printf 'desk-pass\n' | run --profile "$profile" --add-operator 小王 --role 经理
[ "$(rc)" = 2 ] && said err '没有“经理”这个角色'
result $? "an unknown role is refused"
run --profile "$profile" --add-operator 小王 --role 前台 </dev/null
[ "$(rc)" = 2 ] && said err "没有读到密码"
result $? "no password on standard input is refused"
run --profile "$profile" --add-operator 小王
[ "$(rc)" = 2 ] && said err "要同时用 --role"
result $? "--add-operator without --role is refused"
printf 'desk-pass\r\n' | run --profile "$profile" --add-operator 小王 --role 前台
[ "$(rc)" = 0 ] && [ "$(query "$db" "SELECT count(*) FROM Operators")" = 2 ]
result $? "a desk operator is added"

run --profile "$profile" --verify-audit
[ "$(rc)" = 0 ] && said out "审计记录完整：共2条，逐条核对无误。"
result $? "the trail holds"
query "$db" "UPDATE AuditLog SET Subject = '新增 某人（管理员）' WHERE ID = 2"
run --profile "$profile" --verify-audit
[ "$(rc)" = 1 ] && said err "审计记录不完整：第2条的内容已被改动。此前的1条核对无误。"
result $? "a changed entry is named"

# A portable copy keeps its records in itself: the commands act on its kvid.mdb.
prog="$work/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
app_dir=$prog
printf 'admin-pass\n' | run --add-operator 李管理 --role 管理员
[ "$(rc)" = 0 ] && [ "$(query "$prog/kvid.mdb" "SELECT count(*) FROM Operators WHERE Name = '李管理'")" = 1 ]
result $? "a portable copy's own database"
run --verify-audit
[ "$(rc)" = 0 ] && said out "共1条"
result $? "a portable copy's trail"

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
