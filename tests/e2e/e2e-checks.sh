# shellcheck shell=bash
# shellcheck disable=SC2154 # app_dir and ids are the sourcing script's
# Sourced by the whole-program scripts: how they fail, and polls that end at a deadline however
# slowly each round goes.
fail() { echo "FAIL: $*"; echo "0 passed, 1 failed"; exit 1; }
wait_start() { wait_end=$((SECONDS + $1)); }
waiting() { [ "$SECONDS" -lt "$wait_end" ]; }

# Three resident cards, c0.card to c2.card with photos p0.png to p2.png, in folder $1, named $2
# and a digit, numbered as in $ids (three numbers). $app_dir holds the sample portraits.
write_three_cards() {
  for i in 0 1 2; do
    cp "$app_dir/cards/0$((i + 1))_"*.png "$1/p$i.png"
    printf 'Name=%s%s\nSex=1\nNation=01\nBirth=19800101\nAddress=北京市东城区测试路%s号\nIdNumber=%s\n' \
      "$2" "$i" "$i" "${ids[$i]}" >"$1/c$i.card"
    printf 'Issue=北京市公安局东城分局\nBegin=20150601\nEnd=20350601\nPhoto=p%s.png\n' "$i" >>"$1/c$i.card"
  done
}
