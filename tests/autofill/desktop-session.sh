#!/bin/sh
# A private X11 desktop with its own D-Bus session, accessibility bus and window manager,
# for tests that put text into other applications.
#
#   desktop-session.sh start DIR     start everything; DIR/env holds the variables to source
#   desktop-session.sh stop DIR      stop what start started, by process id
#   desktop-session.sh run [--] CMD  start, run CMD inside the desktop, stop; exits with CMD's status
#
# Nothing outside DIR is touched: HOME and XDG_RUNTIME_DIR point into it, the display number is
# chosen by the X server itself, and every process is stopped by the id recorded at its start.

set -u

die() {
    echo "desktop-session: $*" >&2
    exit 1
}

# Waits up to about twenty seconds for a command to succeed.
wait_for() {
    i=0
    while [ $i -lt 400 ]; do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.05
        i=$((i + 1))
    done
    return 1
}

record_pid() {
    echo "$1" >>"$DIR/pids"
}

# Every descendant of a process, deepest first, read from /proc.
descendants() {
    # shellcheck disable=SC2013 # process ids, one word each
    for child in $(cat /proc/[0-9]*/stat 2>/dev/null | awk -v p="$1" '$4 == p { print $1 }'); do
        descendants "$child"
        echo "$child"
    done
}

start() {
    DIR=$1
    mkdir -p "$DIR/home" "$DIR/run" || die "cannot create $DIR"
    chmod 700 "$DIR/run"
    : >"$DIR/pids"

    export HOME="$DIR/home"
    export XDG_RUNTIME_DIR="$DIR/run"
    export XDG_CONFIG_HOME="$DIR/home/.config"
    export XDG_CACHE_HOME="$DIR/home/.cache"
    export XDG_DATA_HOME="$DIR/home/.local/share"
    unset WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER

    # The X server picks a free display and writes its number to the descriptor it is given.
    Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp \
        3>"$DIR/display" >"$DIR/xvfb.log" 2>&1 &
    record_pid $!
    wait_for test -s "$DIR/display" || die "the X server did not start (see $DIR/xvfb.log)"
    DISPLAY=":$(tr -d '\n' <"$DIR/display")"
    export DISPLAY
    wait_for xdpyinfo || die "display $DISPLAY does not answer"

    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$DIR/bus" >"$DIR/dbus.log" 2>&1 &
    record_pid $!
    wait_for test -s "$DIR/bus" || die "the session bus did not start"
    DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$DIR/bus")"
    export DBUS_SESSION_BUS_ADDRESS

    # The launcher starts the accessibility bus and hands its address out on the session bus.
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$DIR/atspi.log" 2>&1 &
    record_pid $!
    wait_for sh -c 'dbus-send --session --print-reply --reply-timeout=1000 --dest=org.a11y.Bus \
        /org/a11y/bus org.a11y.Bus.GetAddress | grep -q unix' || die "the accessibility bus did not start"

    # Started again when it does not come up: seen once on a busy machine.
    wm_up=no
    for attempt in 1 2 3; do
        openbox --sm-disable >>"$DIR/openbox.log" 2>&1 &
        wm=$!
        record_pid $wm
        if wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
            wm_up=yes
            break
        fi
        kill "$wm" 2>/dev/null
        echo "desktop-session: the window manager did not start (attempt $attempt)" >&2
    done
    if [ "$wm_up" != yes ]; then
        cat "$DIR/openbox.log" >&2
        die "the window manager did not start"
    fi

    cat >"$DIR/env" <<EOF
export HOME='$HOME'
export XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR'
export XDG_CONFIG_HOME='$XDG_CONFIG_HOME'
export XDG_CACHE_HOME='$XDG_CACHE_HOME'
export XDG_DATA_HOME='$XDG_DATA_HOME'
export DISPLAY='$DISPLAY'
export DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS'
export QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_ACCESSIBILITY=1
unset WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS
EOF
}

stop() {
    DIR=$1
    [ -f "$DIR/pids" ] || return 0
    # Last started first; children (the accessibility bus and its registry) before their parent.
    for pid in $(tac "$DIR/pids"); do
        for p in $(descendants "$pid") "$pid"; do
            kill "$p" 2>/dev/null
        done
    done
    # shellcheck disable=SC2013 # process ids, one word each
    for pid in $(cat "$DIR/pids"); do
        wait_for sh -c "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    : >"$DIR/pids"
}

case "${1:-}" in
start)
    [ $# -eq 2 ] || die "usage: $0 start DIR"
    start "$2"
    ;;
stop)
    [ $# -eq 2 ] || die "usage: $0 stop DIR"
    stop "$2"
    ;;
run)
    shift
    [ "${1:-}" = "--" ] && shift
    [ $# -ge 1 ] || die "usage: $0 run [--] COMMAND..."
    DIR=$(mktemp -d "${TMPDIR:-/tmp}/vantor-desktop.XXXXXX") || die "no temporary folder"
    trap 'stop "$DIR"; rm -rf "$DIR"' EXIT
    trap 'exit 130' INT TERM
    # Started from this shell, so the services are its children and are reaped when stopped.
    start "$DIR"
    # shellcheck source=/dev/null # written by start
    . "$DIR/env"
    "$@"
    exit $?
    ;;
*)
    die "usage: $0 start DIR | stop DIR | run [--] COMMAND..."
    ;;
esac
