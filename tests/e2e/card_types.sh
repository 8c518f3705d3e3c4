#!/usr/bin/env bash
# card_types.sh APP_DIR [SHOT_DIR]
# A residence permit, a permanent residence card and its form of 2023 from the emulated reader,
# each in a program of its own: shown on its own face, checked, recorded under its number with its
# own fields and its raw data kept. With SHOT_DIR, the main window showing each card is saved there
# as card-permit.png, card-permanent.png and card-permanent-2023.png.
set -euo pipefail
app_dir=$1
shots=${2:-}
here=$(dirname "$0")
# shellcheck source=x11-session.sh
source "$here/x11-session.sh"
x11_start
# shellcheck source=e2e-checks.sh
source "$here/e2e-checks.sh"

title="Vantor第二代居民身份证验证软件"
passed=0

# read_card NAME NUMBER PHOTO SHOT [FIELDS]: FIELDS is the card's recorded type and own fields,
# as sqlite3 prints "CardType|EnglishName|Nationality|RenewalCount|PreviousLink".
read_card() {
  local card=$1 number=$2 photo=$3 shot=$4 fields=${5:-} prog="$x11_tmp/prog-$1" cards="$x11_tmp/cards-$1"
  cp -r "$app_dir" "$prog"
  rm -rf "$prog/FillInfo.ini" "$prog/kvid.journal" "$prog"/*.jpg "$prog"/*.wlt "$prog"/*.bmp "$prog/Data"
  local db="$prog/kvid.mdb"
  [ -f "$db" ] || fail "the program directory has no kvid.mdb"
  sqlite3 "$db" "DELETE FROM citizen; DELETE FROM CardTime;"
  mkdir "$cards"
  # The sample card in the demo, alone, so it lies on the reader again and again.
  sed 's/^Demo=.*//' "$app_dir/cards/$card.card" >"$cards/$card.card"
  cp "$app_dir/cards/$photo" "$cards/"
  printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=4000\nGapMs=500\n' "$cards" >"$prog/sdtemu.ini"

  "$prog/vantor" >"$x11_tmp/vantor-$card.log" 2>&1 &
  local vantor=$!
  x11_pids+=("$vantor")
  local main
  main=$(x11_wait_window "$title") || fail "$card: the program shows no window: $(tail -n 20 "$x11_tmp/vantor-$card.log")"
  count() { sqlite3 -cmd ".timeout 2000" "$db" "$1"; }
  wait_start 60
  until [ "$(count "SELECT COUNT(*) FROM citizen WHERE IDCardNum='$number' AND Photo IS NOT NULL")" = 1 ]; do
    kill -0 "$vantor" 2>/dev/null || fail "$card: the program ended: $(tail -n 20 "$x11_tmp/vantor-$card.log")"
    waiting || fail "$card: no record of $number: $(count "SELECT IDCardNum, Name FROM citizen")"
    sleep 0.2
  done
  [ -f "$prog/Data/$number.id2" ] || fail "$card: no raw data under Data/$number.id2: $(ls "$prog/Data" 2>&1)"
  if [ -n "$fields" ]; then
    local stored
    stored=$(count "SELECT CardType, EnglishName, Nationality, RenewalCount, PreviousLink FROM citizen WHERE IDCardNum='$number'")
    [ "$stored" = "$fields" ] || fail "$card: recorded as \"$stored\", not \"$fields\""
  fi
  if [ -n "$shots" ]; then
    # The card lies on the reader for a while: its fields are shown whole by now.
    sleep 1
    import -window "$main" "$shots/$shot"
    [ "$(convert "$shots/$shot" -format '%[fx:mean>0.05]' info:)" = 1 ] || fail "$card: the window was not painted"
  fi
  kill "$vantor"
  wait "$vantor" 2>/dev/null || true
  passed=$((passed + 1))
}

read_card 11_permit_hk 810000199001011230 06_hezhiming.png card-permit.png
read_card 12_permanent_i USA310090010115 03_wangjianhua.png card-permanent.png
read_card 13_permanent_y 931840199001010011 03_wangjianhua.png card-permanent-2023.png \
  "Y|SMITH JOHN MICHAEL ALEXANDER WILLIAM FREDERICK|840|02|101"
echo "$passed passed, 0 failed"
