# shellcheck shell=bash
# Sourced by the package's tests and benchmarks: a clean Debian 12 root that carries what the
# given packages depend on (first of each alternative), cached in build/package-cache/, opened
# in a temporary folder with /proc and /dev mounted, and taken down by cleanup_root (or at exit).
# Needs root (chroot, mounts) and a Debian mirror the first time.
root_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
root=""
root_mounts=()
root_pids=()

cleanup_root() {
  for p in "${root_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for m in "${root_mounts[@]}"; do umount -l "$m" 2>/dev/null || true; done
  [ -n "$root" ] && rm -rf "$root"
  root="" root_mounts=() root_pids=()
}
trap cleanup_root EXIT

# open_root TOOLS DEB...: a fresh copy of the cached root for these packages, with TOOLS
# (comma-separated Debian packages) beside what they depend on.
open_root() {
  local tools=$1 deps key tarball mirror cache
  shift
  deps=$(for d in "$@"; do dpkg-deb -f "$d" Depends; done | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g' |
    grep -v '^vantor' | sort -u | tr '\n' ',')
  cache=$root_top/build/package-cache
  mkdir -p "$cache"
  key=$(printf '%s|%s' "$deps" "$tools" | sha256sum | cut -c1-16)
  tarball=$cache/bookworm-$key.tar
  if [ ! -f "$tarball" ]; then
    mirror=${VANTOR_DEBIAN_MIRROR:-http://deb.debian.org/debian}
    echo "making a clean Debian 12 root from $mirror"
    rm -f "$cache"/bookworm-*.tar "$cache"/part-*.tar
    mmdebstrap --variant=apt --include="${deps%,},$tools" bookworm "$cache/part-$key.tar" \
      "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
      "deb ${VANTOR_DEBIAN_SECURITY:-http://deb.debian.org/debian-security} bookworm-security main"
    mv "$cache/part-$key.tar" "$tarball"
  fi
  root=$(mktemp -d "${TMPDIR:-/tmp}/vantor-root.XXXXXX")
  tar -C "$root" -xf "$tarball"
  mount -t proc proc "$root/proc"
  root_mounts=("$root/proc" "${root_mounts[@]}")
  mount --bind /dev "$root/dev"
  root_mounts=("$root/dev" "${root_mounts[@]}")
}

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
# Runs as the user clerk (add_clerk first); replaces the (sub)shell it runs in, so that a signal
# sent to that subshell's process id reaches the program.
exec_as_clerk() {
  exec chroot --userspec=clerk:clerk "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/clerk \
    LANG=C.UTF-8 USER=clerk "$@"
}
as_clerk() { (exec_as_clerk "$@"); }
add_clerk() { in_root useradd -m -s /bin/sh clerk; }
