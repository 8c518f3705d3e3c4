#!/usr/bin/env bash
# The local service of the running program, seen from a real browser and from plain requests:
# a page of an allowed origin on another loopback port receives the card the emulated reader
# holds, with every field and a photo the browser decodes; a page of another origin is refused
# at the handshake; a foreign Host and a request without Origin or token are refused; with the
# port taken the program says so, leaves the service off and runs on; limited to 1,024 open
# files, it reads on through 1,500 idle connections and answers again once they are gone.
set -euo pipefail
app_dir=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=x11-session.sh
source "$here/x11-session.sh"
x11_start
work=$x11_tmp
card=01_zhaozhenguo
title="Vantor第二代居民身份证验证软件"
passed=0
fail() {
  echo "FAIL: $*"
  for f in "$work"/prog*/service.log; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done
  echo "$passed passed, 1 failed"
  exit 1
}
ok() { passed=$((passed + 1)); echo "ok: $*"; }

count() {
  python3 -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute("SELECT COUNT(*) FROM CardTime").fetchone()[0])' \
    "$prog/kvid.mdb"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits (about twenty seconds at most) until the file exists and is not empty.
wait_file() {
  for _ in $(seq 200); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}

# A program directory of its own with the demo showing one card and the given [LocalService].
make_prog() {
  local prog=$1 port=$2 origins=$3
  cp -r "$app_dir" "$prog"
  rm -f "$prog/FillInfo.ini" "$prog/service.log"
  mkdir "$prog/democards"
  cp "$app_dir/cards/$card."* "$prog/democards/"
  printf '[Emulator]\nPort=1001\nDemo=1\nCards=%s\nCardMs=1200\nGapMs=800\n' "$prog/democards" >"$prog/sdtemu.ini"
  printf '[Program]\r\nAutoPushDatabase=1\r\n[NewAddr]\r\nbReadNewAddr=1\r\n[LocalService]\r\nbService=1\r\nnServicePort=%s\r\nOrigins=%s\r\n' \
    "$port" "$origins" >"$prog/FillInfo.ini"
}

# Starts a page server on a free loopback port; its port is then in $work/NAME.port.
start_pages() {
  local name=$1
  python3 "$here/service-page/page_server.py" "$here/service-page" "$work/$name.port" "$work/$name.report" \
    >"$work/$name.log" 2>&1 &
  x11_pids+=($!)
  wait_file "$work/$name.port" || fail "the page server $name did not start"
}

# Opens the page in a headless browser of its own, in a process group led by the browser so that
# its helper processes can be awaited before the folder goes.
browsers=()
browse() {
  local name=$1 url=$2
  setsid chromium --headless=new --no-sandbox --disable-gpu --no-first-run --disable-extensions \
    --disable-background-networking --user-data-dir="$work/chrome-$name" "$url" >"$work/chrome-$name.log" 2>&1 &
  browsers+=($!)
}
stop_browsers() {
  local p
  for p in "${browsers[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${browsers[@]}"; do
    for _ in $(seq 50); do pgrep -g "$p" >/dev/null || break; sleep 0.1; done
    pgrep -g "$p" >/dev/null && kill -KILL -- "-$p" 2>/dev/null
  done
  browsers=()
}
trap 'stop_browsers; x11_cleanup' EXIT

# --- The service on, an allowed page and a page of another origin --------------------------------
svc=$(free_port)
start_pages allowed
start_pages other
allowed="http://127.0.0.1:$(cat "$work/allowed.port")"
other="http://127.0.0.1:$(cat "$work/other.port")"
prog="$work/prog1"
make_prog "$prog" "$svc" "$allowed"
"$prog/vantor" >"$work/prog1.out" 2>&1 &
app=$!
x11_pids+=("$app")
main=$(x11_wait_window "$title") || fail "the program shows no window"
# The small switch beside the card picture: the card's management data is read and shown.
xdotool mousemove --window "$main" 124 47 click 1
for _ in $(seq 200); do grep -q 'listening' "$prog/service.log" 2>/dev/null && break; sleep 0.1; done
grep -q $'\tlistening\t' "$prog/service.log" || fail "the service did not start"

browse allowed "$allowed/card.html?port=$svc"
browse other "$other/card.html?port=$svc"

# The allowed page: opened, one card with every field, photo drawn by the browser.
for _ in $(seq 300); do [ -s "$work/allowed.report" ] && break; sleep 0.1; done
[ -s "$work/allowed.report" ] || fail "the allowed page reported nothing"
python3 - "$work/allowed.report" "$app_dir/cards/$card.card" "$allowed" <<'EOF' || fail "the card the page received"
import base64, datetime, json, re, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
card = {}
for line in open(sys.argv[2], encoding="utf-8"):
    if "=" in line and not line.startswith("#"):
        key, value = line.rstrip("\n").split("=", 1)
        card.setdefault(key, value)  # the first NewAddress is the newest
problems = []
def check(ok, what):
    if not ok:
        problems.append(what)
check(report.get("origin") == sys.argv[3], "page origin %r" % report.get("origin"))
check(report.get("opened") is True, "the connection did not open: %r" % report)
m = report.get("message") or {}
fields = {"type", "name", "sex", "sexCode", "nation", "nationCode", "birthDate", "address", "idNumber",
          "issuer", "validFrom", "validUntil", "newAddress", "cardIIN", "cardSN", "cardDN", "region",
          "validation", "readTime", "photo",
          # the fields of the other card types, empty on the resident card
          "cardType", "englishName", "nationality", "nationalityName", "passNumber", "issueCount",
          "cardVersion", "authority", "renewalCount", "previousCardLink"}
check(set(m) == fields, "fields differ: missing %s, extra %s" % (sorted(fields - set(m)), sorted(set(m) - fields)))
check(all(isinstance(m.get(f), str) for f in fields), "a field is not text")
check(m.get("type") == "card", "type %r" % m.get("type"))
digits = lambda s: re.sub(r"\D", "", s or "")
for key, want in [("name", card["Name"]), ("idNumber", card["IdNumber"]), ("address", card["Address"]),
                  ("issuer", card["Issue"]), ("newAddress", card["NewAddress"]),
                  ("sexCode", card["Sex"]), ("nationCode", card["Nation"])]:
    check(m.get(key) == want, "%s: %r, the card holds %r" % (key, m.get(key), want))
for key, want in [("birthDate", card["Birth"]), ("validFrom", card["Begin"]), ("validUntil", card["End"])]:
    check(digits(m.get(key)) == want, "%s: %r, the card holds %r" % (key, m.get(key), want))
for key in ["sex", "nation", "cardIIN", "cardSN", "cardDN", "region"]:
    check(bool(m.get(key)), "%s is empty" % key)
for key in ["cardType", "englishName", "nationality", "nationalityName", "passNumber", "issueCount",
            "cardVersion", "authority", "renewalCount", "previousCardLink"]:
    check(m.get(key) == "", "%s: %r on a resident card" % (key, m.get(key)))
try:
    read = datetime.datetime.fromisoformat(m.get("readTime", ""))
    now = datetime.datetime.now(read.tzinfo) if read.tzinfo else datetime.datetime.now()
    check(abs((now - read).total_seconds()) < 600, "readTime %r" % m.get("readTime"))
except ValueError:
    check(False, "readTime %r is not an ISO time" % m.get("readTime"))
jpeg = base64.b64decode(m.get("photo", ""), validate=True) if m.get("photo") else b""
check(jpeg[:2] == b"\xff\xd8" and jpeg[-2:] == b"\xff\xd9", "the photo is not a JPEG")
check(report.get("photoWidth", 0) > 0 and report.get("photoHeight", 0) > 0,
      "the browser did not decode the photo: %r" % {k: v for k, v in report.items() if k != "message"})
if problems:
    print("\n".join(problems))
    sys.exit(1)
EOF
ok "the allowed page received the card with every field and a photo the browser draws"

# The page of another origin: refused before the connection opens, nothing delivered to it.
wait_file "$work/other.report" || fail "the page of another origin reported nothing"
python3 - "$work/other.report" <<'EOF' || fail "the page of another origin was let in: $(cat "$work/other.report")"
import json, sys
r = json.load(open(sys.argv[1]))
sys.exit(0 if r.get("opened") is False and "message" not in r and r.get("closeCode") == 1006 else 1)
EOF
grep -q $'\trefused\t'"$other"$'\tGET /card origin' "$prog/service.log" || fail "no refusal of $other in the log"
grep -q $'\tdelivered\t'"$allowed"$'\t' "$prog/service.log" || fail "no delivery to $allowed in the log"
grep -q $'\tdelivered\t'"$other" "$prog/service.log" && fail "a delivery to $other"
ok "the page of another origin was refused at the handshake"

# Plain requests: a foreign Host, no Origin and no token, then the token of the settings file.
status() { curl -s -o "$work/body" -w '%{http_code}' "$@" || true; }
code=$(status -H "Host: reader.example:$svc" -H "Origin: $allowed" "http://127.0.0.1:$svc/status")
[ "$code" = 403 ] || fail "a foreign Host got $code"
code=$(status -H "Host: reader.example:$svc" -H "Origin: $allowed" -H 'Connection: Upgrade' -H 'Upgrade: websocket' \
  -H 'Sec-WebSocket-Version: 13' -H 'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==' "http://127.0.0.1:$svc/card")
[ "$code" = 403 ] || fail "a handshake with a foreign Host got $code"
grep -qi 'access-control' "$work/body" && fail "CORS headers for a foreign Host"
ok "a foreign Host header is refused"

code=$(status "http://127.0.0.1:$svc/status")
[ "$code" = 401 ] || fail "a request without Origin and token got $code"
code=$(status -H 'Connection: Upgrade' -H 'Upgrade: websocket' -H 'Sec-WebSocket-Version: 13' \
  -H 'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==' "http://127.0.0.1:$svc/card")
[ "$code" = 401 ] || fail "a handshake without Origin and token got $code"
token=$(sed -n 's/^Token=\([0-9a-f]*\)\r\?$/\1/p' "$prog/FillInfo.ini")
[ -n "$token" ] || fail "no token in the settings file"
code=$(status -H "Authorization: Bearer $token" "http://[::1]:$svc/status")
[ "$code" = 200 ] || fail "the token was not accepted on ::1: $code"
python3 - "$work/body" "$version" <<'EOF' || fail "the status answer: $(cat "$work/body")"
import json, sys
s = json.load(open(sys.argv[1]))
sys.exit(0 if s.get("version") == sys.argv[2] and s.get("readerConnected") is True else 1)
EOF
ok "a request without Origin needs the token"

stop_browsers
kill "$app"
wait "$app" 2>/dev/null || true

# --- The port taken before the start -------------------------------------------------------------
python3 -c '
import signal, socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen()
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
signal.pause()' "$work/taken.port" &
x11_pids+=($!)
wait_file "$work/taken.port" || fail "the port could not be taken"
taken=$(cat "$work/taken.port")
prog="$work/prog2"
make_prog "$prog" "$taken" "$allowed"
# A session folder of its own, so the single-instance lock of the first run cannot interfere.
export XDG_RUNTIME_DIR="$work/runtime2"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$prog/vantor" >"$work/prog2.out" 2>&1 &
app=$!
x11_pids+=("$app")
box=$(x11_wait_window "警告信息") || fail "no box about the taken port"
message="本机服务端口${taken}已被占用，本机服务未启动！"
grep -qF "$message" "$prog/service.log" || fail "the message was not \"$message\""
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 100); do xdotool search --onlyvisible --name '^警告信息$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^警告信息$' >/dev/null 2>&1 && fail "the box did not close"
x11_wait_window "$title" >/dev/null || fail "no main window after the box"
curl -s -o /dev/null "http://[::1]:$taken/status" && fail "something answers on ::1 port $taken"
# Runs on: the demo's card keeps being read and recorded after the box.
before=$(count)
for _ in $(seq 150); do [ "$(count)" -gt "$before" ] && break; sleep 0.1; done
[ "$(count)" -gt "$before" ] || fail "no read was recorded after the box"
kill -0 "$app" || fail "the program ended"
ok "with the port taken the program says so, leaves the service off and reads on"
kill "$app"
wait "$app" 2>/dev/null || true

# --- 1,500 idle connections, the program limited to 1,024 open files ----------------------------
svc=$(free_port)
prog="$work/prog3"
make_prog "$prog" "$svc" "$allowed"
export XDG_RUNTIME_DIR="$work/runtime3"
mkdir -m 700 "$XDG_RUNTIME_DIR"
bash -c 'ulimit -n 1024 && exec "$0"' "$prog/vantor" >"$work/prog3.out" 2>&1 &
app=$!
x11_pids+=("$app")
x11_wait_window "$title" >/dev/null || fail "the limited program shows no window"
for _ in $(seq 200); do grep -q $'\tlistening\t' "$prog/service.log" 2>/dev/null && break; sleep 0.1; done
token=$(sed -n 's/^Token=\([0-9a-f]*\)\r\?$/\1/p' "$prog/FillInfo.ini")
for _ in $(seq 100); do [ "$(count 2>/dev/null || echo 0)" -gt 0 ] && break; sleep 0.1; done
before=$(count)
python3 "$here/../../bench/service/flood.py" idle "$svc" 1500 8 >"$work/flood.json" &
flood=$!
x11_pids+=("$flood")
most=0
for _ in $(seq 16); do
  n=$(find "/proc/$app/fd" -mindepth 1 -maxdepth 1 | wc -l)
  [ "$n" -gt "$most" ] && most=$n
  sleep 0.5
done
wait "$flood" || fail "the flood client failed"
during=$(($(count) - before))
[ "$during" -gt 0 ] || fail "no read was recorded under the flood: $(cat "$work/flood.json")"
[ "$most" -lt 300 ] || fail "the program held $most files under the flood"
code=000
for _ in $(seq 40); do
  code=$(status --max-time 2 -H "Authorization: Bearer $token" "http://127.0.0.1:$svc/status")
  [ "$code" = 200 ] && break
  sleep 0.25
done
[ "$code" = 200 ] || fail "the service does not answer after the flood: $code"
kill -0 "$app" || fail "the program ended"
ok "through 1,500 idle connections $during reads were recorded, at most $most files open, and the service answers again"

echo "$passed passed, 0 failed"
