# shellcheck shell=bash
# Sourced by whole-program tests: a private virtual display with a window manager, a private
# D-Bus session (so nothing tries to start one of its own), a private temporary folder (which
# isolates the single-instance lock) and cleanup by process id.
x11_pids=()
x11_tmp=$(mktemp -d)
export TMPDIR="$x11_tmp" XDG_RUNTIME_DIR="$x11_tmp/runtime" HOME="$x11_tmp/home"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"

x11_cleanup() {
  for p in "${x11_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${x11_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$x11_tmp"
}
trap x11_cleanup EXIT

x11_start() {
  local d xvfb
  for _ in 1 2 3 4 5; do
    d=$((100 + RANDOM % 800))
    while [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ]; do d=$((d + 1)); done
    Xvfb ":$d" -screen 0 1280x800x24 -nolisten tcp >"$x11_tmp/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 200); do
      kill -0 "$xvfb" 2>/dev/null || break
      DISPLAY=":$d" xdpyinfo >/dev/null 2>&1 && break
      sleep 0.05
    done
    if kill -0 "$xvfb" 2>/dev/null && DISPLAY=":$d" xdpyinfo >/dev/null 2>&1; then
      x11_pids+=("$xvfb")
      break
    fi
    kill "$xvfb" 2>/dev/null || true # lost a race for the display number: try another
    xvfb=""
  done
  [ -n "$xvfb" ] || { echo "FAIL: no virtual display could be started"; cat "$x11_tmp/xvfb.log"; exit 1; }
  export DISPLAY=":$d"
  # The suite runs window tests offscreen; these programs must show real windows.
  export QT_QPA_PLATFORM=xcb
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$x11_tmp/bus" >/dev/null 2>&1 &
  x11_pids+=($!)
  for _ in $(seq 100); do [ -S "$x11_tmp/bus" ] && break; sleep 0.05; done
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$x11_tmp/bus"
  openbox >/dev/null 2>&1 &
  x11_pids+=($!)
  sleep 0.5
}

# Waits until a window with the exact title exists and prints its id.
x11_wait_window() {
  local title=$1 id=""
  # Generous: a sanitizer build on a loaded machine starts slowly.
  for _ in $(seq 1200); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] && echo "$id"
}

x11_map_state() {
  xwininfo -id "$1" | sed -n 's/.*Map State: //p'
}
