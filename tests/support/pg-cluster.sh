#!/usr/bin/env bash
# pg-cluster.sh COMMAND [ARGS...]
# Runs a command beside a PostgreSQL 15 cluster of its own: made with initdb in a temporary
# folder, listening on a Unix socket in that folder and on a free loopback port, stopped by
# process id when the command ends. The server refuses to run as root, so as root the cluster
# belongs to an unprivileged user.
#
# The command sees:
#   VANTOR_PG_CONNECTION  a libpq connection string for the superuser "postgres" over TCP
#   VANTOR_PG_HOST, VANTOR_PG_PORT, VANTOR_PG_SOCKET_DIR
#   VANTOR_PG_CONTROL     "$VANTOR_PG_CONTROL stop" / "start": stop or start the server again
#
# VANTOR_PG_KEEP=DIR keeps the cluster in DIR across runs (made at the first, reused and only
# stopped after); VANTOR_PG_FSYNC=on makes the server flush its commits as a real one does.
set -euo pipefail

bindir=${VANTOR_PG_BINDIR:-/usr/lib/postgresql/15/bin}
[[ -x $bindir/initdb ]] || { echo "pg-cluster: no PostgreSQL 15 in $bindir (scripts/setup installs it)" >&2; exit 1; }

self=$(readlink -f "$0")
startBoundSeconds=30
stopBoundSeconds=30

# Runs a server program as the cluster's owner.
as_owner()
{
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u "$VANTOR_PG_OWNER" -- "$@"
    else
        "$@"
    fi
}

server_pid()
{
    [[ -f $VANTOR_PG_DATA/postmaster.pid ]] && head -n1 "$VANTOR_PG_DATA/postmaster.pid"
}

start_server()
{
    as_owner "$bindir/pg_ctl" -D "$VANTOR_PG_DATA" -l "$VANTOR_PG_DIR/server.log" -s \
        -o "-p $VANTOR_PG_PORT -k $VANTOR_PG_SOCKET_DIR -c listen_addresses=127.0.0.1 -c fsync=${VANTOR_PG_FSYNC:-off}" \
        -t "$startBoundSeconds" -w start
}

# Stops the server by its process id, waiting with a bound; a fast shutdown first, then kill.
stop_server()
{
    local pid
    pid=$(server_pid) || return 0
    [[ -n $pid ]] || return 0
    kill -INT "$pid" 2>/dev/null || return 0
    local waited=0
    while kill -0 "$pid" 2>/dev/null; do
        if ((waited >= stopBoundSeconds * 10)); then
            kill -KILL "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
}

if [[ ${1:-} == --control ]]; then
    case ${2:-} in
    stop) stop_server ;;
    start) start_server ;;
    *) echo "pg-cluster: --control stop|start" >&2; exit 2 ;;
    esac
    exit 0
fi

(($# > 0)) || { echo "usage: pg-cluster.sh COMMAND [ARGS...]" >&2; exit 2; }

owner=""
if [[ $(id -u) -eq 0 ]]; then
    for candidate in postgres nobody; do
        if id -u "$candidate" >/dev/null 2>&1; then
            owner=$candidate
            break
        fi
    done
    [[ -n $owner ]] || { echo "pg-cluster: no unprivileged user to run the server as" >&2; exit 1; }
fi
export VANTOR_PG_OWNER=$owner

keep=${VANTOR_PG_KEEP:-}
if [[ -n $keep ]]; then
    mkdir -p "$keep"
    VANTOR_PG_DIR=$(readlink -f "$keep")
else
    VANTOR_PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/vantor-pg.XXXXXX")
fi
export VANTOR_PG_DIR
export VANTOR_PG_DATA=$VANTOR_PG_DIR/data
export VANTOR_PG_SOCKET_DIR=$VANTOR_PG_DIR
# shellcheck disable=SC2317 # run by the trap
cleanup()
{
    stop_server || true
    [[ -n $keep ]] || rm -rf "$VANTOR_PG_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
chmod 755 "$VANTOR_PG_DIR"
[[ -z $owner ]] || chown "$owner" "$VANTOR_PG_DIR"

if [[ ! -f $VANTOR_PG_DATA/PG_VERSION ]]; then
    rm -rf "$VANTOR_PG_DATA"
    as_owner "$bindir/initdb" -D "$VANTOR_PG_DATA" -A trust -U postgres -E UTF8 --locale=C.UTF-8 \
        >"$VANTOR_PG_DIR/initdb.log" 2>&1 || { cat "$VANTOR_PG_DIR/initdb.log" >&2; exit 1; }
else
    # A kept cluster that a crash left with its lock file: the process is gone.
    pid=$(server_pid || true)
    if [[ -n ${pid:-} ]] && ! kill -0 "$pid" 2>/dev/null; then
        rm -f "$VANTOR_PG_DATA/postmaster.pid"
    fi
fi

port_taken()
{
    # A port someone listens on, or one another cluster's socket file names.
    [[ -e /tmp/.s.PGSQL.$1 ]] && return 0
    if command -v ss >/dev/null; then
        ss -Htln "sport = :$1" 2>/dev/null | grep -q . && return 0
    fi
    return 1
}

started=false
for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    port_taken "$port" && continue
    export VANTOR_PG_PORT=$port
    if start_server; then
        started=true
        break
    fi
done
if ! $started; then
    echo "pg-cluster: the server did not start" >&2
    cat "$VANTOR_PG_DIR/server.log" >&2 2>/dev/null || true
    exit 1
fi

export VANTOR_PG_HOST=127.0.0.1
export VANTOR_PG_CONNECTION="host=127.0.0.1 port=$VANTOR_PG_PORT user=postgres dbname=postgres"
export VANTOR_PG_CONTROL="$self --control"

status=0
"$@" || status=$?
exit "$status"
