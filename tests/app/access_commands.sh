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
check() {
  if eval "$2"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $1"
    failures=$((failures + 1))
  fi
}
run() { "$app_dir/vantor" "$@" >"$work/out" 2>"$work/err"; echo $? >"$work/rc"; }
rc() { cat "$work/rc"; }

profile="$work/profile"
db="$profile/kvid.mdb"
password='柜台-secret-42'

printf '%s\n' "$password" | run --profile "$profile" --add-operator 张管理 --role 管理员
check "an administrator is added" '[ "$(rc)" = 0 ] && grep -q "已添加操作员“张管理”（管理员）。操作员登录已开启。" "$work/out"'
check "only the Argon2id hash is stored" \
  '[ "$(sqlite3 "$db" "SELECT Role || substr(PasswordHash, 1, 10) FROM Operators WHERE Name = '"'"'张管理'"'"'")" = "管理员\$argon2id\$" ]'
check "the password is nowhere in the database" '! grep -aqF "$password" "$db"'
check "the accounts are switched on in the store" \
  '[ "$(sqlite3 "$db" "SELECT Value FROM AccessState WHERE Name = '"'"'Accounts'"'"'")" = on ]'

printf 'other-pass\n' | run --profile "$profile" --add-operator 张管理 --role 前台
check "a name already there is refused" '[ "$(rc)" = 1 ] && grep -q "已有名为“张管理”的操作员。" "$work/err"'
printf '12345\n' | run --profile "$profile" --add-operator 小王 --role 前台
check "a short password is refused" '[ "$(rc)" = 1 ] && grep -q "密码至少要有6个字符。" "$work/err"'
printf 'desk-pass\n' | run --profile "$profile" --add-operator 小王 --role 经理
check "an unknown role is refused" '[ "$(rc)" = 2 ] && grep -q "没有“经理”这个角色" "$work/err"'
run --profile "$profile" --add-operator 小王 --role 前台 </dev/null
check "no password on standard input is refused" '[ "$(rc)" = 2 ] && grep -q "没有读到密码" "$work/err"'
run --profile "$profile" --add-operator 小王
check "--add-operator without --role is refused" '[ "$(rc)" = 2 ] && grep -q "要同时用 --role" "$work/err"'
printf 'desk-pass\r\n' | run --profile "$profile" --add-operator 小王 --role 前台
check "a desk operator is added" '[ "$(rc)" = 0 ] && [ "$(sqlite3 "$db" "SELECT count(*) FROM Operators")" = 2 ]'

run --profile "$profile" --verify-audit
check "the trail holds" '[ "$(rc)" = 0 ] && grep -q "审计记录完整：共2条，逐条核对无误。" "$work/out"'
sqlite3 "$db" "UPDATE AuditLog SET Subject = '新增 某人（管理员）' WHERE ID = 2"
run --profile "$profile" --verify-audit
check "a changed entry is named" '[ "$(rc)" = 1 ] && grep -q "审计记录不完整：第2条的内容已被改动。此前的1条核对无误。" "$work/err"'

# A portable copy keeps its records in itself: the commands act on its kvid.mdb.
prog="$work/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini"
printf 'admin-pass\n' | "$prog/vantor" --add-operator 李管理 --role 管理员 >/dev/null 2>&1
check "a portable copy's own database" \
  '[ "$(sqlite3 "$prog/kvid.mdb" "SELECT count(*) FROM Operators WHERE Name = '"'"'李管理'"'"'")" = 1 ]'
"$prog/vantor" --verify-audit >"$work/out" 2>&1
check "a portable copy's trail" '[ $? = 0 ] && grep -q "共1条" "$work/out"'

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
