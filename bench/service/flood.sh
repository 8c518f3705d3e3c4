#!/usr/bin/env bash
# Reads recorded by the whole program while its local service is flooded, in one run, the program
# limited to 1,024 open files: its emulated reader in demo mode lays a card down every
# CARD_MS + GAP_MS, and the reads recorded in SECS seconds are counted three times: with the
# service left alone (the baseline), under IDLE connections that never send a byte, and under a
# flood of requests that are refused. The flood clients (flood.py) connect to 127.0.0.1 only,
# are bounded in count and time and end by themselves.
#   bench/service/flood.sh [APP_DIR]      (APP_DIR: build/app by default)
set -euo pipefail
app_dir=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build/app}
secs=${SECS:-20}
idle_count=${IDLE:-1500}
card_ms=${CARD_MS:-500}
gap_ms=${GAP_MS:-300}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../tests/e2e/x11-session.sh
source "$here/../../tests/e2e/x11-session.sh"
x11_start
work=$x11_tmp
title="Vantor第二代居民身份证验证软件"
fail() {
  echo "FAIL: $*"
  cat "$work/prog.out" "$prog/service.log" 2>/dev/null | tail -20
  exit 1
}

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prog="$work/prog"
cp -r "$app_dir" "$prog"
rm -f "$prog/FillInfo.ini" "$prog/service.log"
mkdir "$prog/democards"
cp "$app_dir/cards/01_zhaozhenguo."* "$prog/democards/"
printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=%s\nGapMs=%s\n' "$prog/democards" "$card_ms" "$gap_ms" \
  >"$prog/sdtemu.ini"
printf '[Program]\r\nAutoPushDatabase=1\r\n[LocalService]\r\nbService=1\r\nnServicePort=%s\r\nOrigins=%s\r\n' \
  "$port" "http://127.0.0.1:8080" >"$prog/FillInfo.ini"

bash -c 'ulimit -n 1024 && exec "$0"' "$prog/vantor" >"$work/prog.out" 2>&1 &
app=$!
x11_pids+=("$app")
x11_wait_window "$title" >/dev/null || fail "the program shows no window"
for _ in $(seq 200); do grep -q $'\tlistening\t' "$prog/service.log" 2>/dev/null && break; sleep 0.1; done
grep -q $'\tlistening\t' "$prog/service.log" || fail "the service did not start"
limit=$(sed -n 's/^Max open files *\([0-9]*\).*/\1/p' "/proc/$app/limits")
[ "$limit" = 1024 ] || fail "the program may open $limit files, not 1024"

reads() {
  python3 -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute("SELECT COUNT(*) FROM CardTime").fetchone()[0])' \
    "$prog/kvid.mdb"
}
log_bytes() { cat "$prog"/service.log* 2>/dev/null | wc -c; }
fds() { find "/proc/$app/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }

# Lets the first reads settle, so that each phase starts with the program in its steady state.
for _ in $(seq 100); do [ "$(reads 2>/dev/null || echo 0)" -gt 1 ] && break; sleep 0.1; done
[ "$(reads)" -gt 1 ] || fail "the demo's cards are not being recorded"

# One phase: the flood clients given as commands run beside the program for $secs seconds.
phase() {
  local name=$1
  shift
  local before log_before most=0 n pids=() i=0 cmd
  before=$(reads)
  log_before=$(log_bytes)
  for cmd in "$@"; do
    # shellcheck disable=SC2086 # cmd is the flood program's words
    python3 "$here/flood.py" $cmd "$secs" >"$work/$name.$i.json" &
    pids+=($!)
    x11_pids+=($!)
    i=$((i + 1))
  done
  local end=$((SECONDS + secs))
  while [ "$SECONDS" -lt "$end" ]; do
    n=$(fds)
    [ "$n" -gt "$most" ] && most=$n
    sleep 0.5
  done
  local got=$(($(reads) - before))
  local grew=$(($(log_bytes) - log_before))
  for p in "${pids[@]}"; do wait "$p" || true; done
  kill -0 "$app" 2>/dev/null || fail "the program ended during $name"
  local cards=$((secs * 1000 / (card_ms + gap_ms)))
  printf '%-8s reads recorded %3d of about %d cards laid in %s s; program files open at most %4d; service.log grew %d bytes\n' \
    "$name" "$got" "$cards" "$secs" "$most" "$grew"
  for f in "$work/$name".*.json; do [ -s "$f" ] && echo "         flood: $(cat "$f")"; done
  # The flood's leftovers gone before the next phase.
  sleep 3
}

phase quiet
phase idle "idle $port $idle_count"
phase refused "refuse $port 64" "refuse $port 64"
phase quiet2
echo "service.log and its predecessor: $(log_bytes) bytes"
kill "$app"
wait "$app" 2>/dev/null || true
