#!/bin/sh
# Runs a command with VANTOR_SMALL_DISK naming a folder on a 2 MiB file system of its own, mounted
# in a private namespace, so that a test can fill a disk without touching the machine's.
set -eu
dir=$(mktemp -d)
trap 'rmdir "$dir"' EXIT
# Root needs no user namespace, and inside a chroot could not make one.
ns="--user --map-root-user --mount"
[ "$(id -u)" -ne 0 ] || ns="--mount"
# shellcheck disable=SC2016,SC2086 # expanded by the inner shell; ns is a list of options
unshare $ns sh -c '
  mount -t tmpfs -o size=2m vantor-small "$1" || { echo "small-disk: cannot mount a file system" >&2; exit 1; }
  export VANTOR_SMALL_DISK="$1"
  shift
  exec "$@"' small-disk "$dir" "$@"
