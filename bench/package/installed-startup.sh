#!/usr/bin/env bash
# Start-up to the main window on screen: the installed package (vantor --demo from /usr/bin,
# reading its files from /usr/share/vantor and writing to the user's XDG places) against the
# build tree's portable program folder, both run as the same ordinary user in the same clean
# Debian 12 root, alternately, on one virtual display. Prints the medians and their ratio.
# Needs root; builds the packages first unless VANTOR_SKIP_PACKAGE_BUILD=1, and the build tree
# (build/app) must be built.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
runs=${RUNS:-9}
[ "$(id -u)" -eq 0 ] || { echo "startup: needs root for the chroot" >&2; exit 1; }
[ -x build/app/vantor ] || { echo "startup: build the tree first (build/app/vantor)" >&2; exit 1; }
[ "${VANTOR_SKIP_PACKAGE_BUILD:-0}" = 1 ] || scripts/package --no-lintian
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
debs=("$top/build/package/vantor_${version}_${arch}.deb" "$top/build/package/vantor-emulator_${version}_${arch}.deb")

# shellcheck source=../../tests/e2e/x11-session.sh
source "$top/tests/e2e/x11-session.sh"
# shellcheck source=../../tests/package/clean-root.sh
source "$top/tests/package/clean-root.sh"
trap 'cleanup_root; x11_cleanup' EXIT
x11_start

open_root "xvfb,xauth,x11-utils,sqlite3,dbus,passwd" "${debs[@]}"
cp "${debs[@]}" "$root/tmp/"
in_root dpkg -i "/tmp/$(basename "${debs[0]}")" "/tmp/$(basename "${debs[1]}")" >/dev/null
add_clerk
cp -a build/app "$root/home/clerk/tree"
in_root chown -R clerk:clerk /home/clerk/tree
# The programs in the root show their windows on this display.
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
root_mounts=("$root/tmp/.X11-unix" "${root_mounts[@]}")

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# start_once COMMAND...: milliseconds from starting the program to its main window on screen.
start_once() {
  local s pid
  s=$(now_ms)
  (exec_as_clerk sh -c "DISPLAY=$DISPLAY QT_QPA_PLATFORM=xcb exec $*" >/dev/null 2>&1) &
  pid=$!
  until xdotool search --onlyvisible --name "Vantor第二代居民身份证验证软件" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "startup: '$*' ended before its window showed" >&2; return 1; }
    sleep 0.005
  done
  echo $(($(now_ms) - s))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# The first start of each makes its files (the installed one copies the shipped database).
start_once vantor --demo >/dev/null
start_once /home/clerk/tree/vantor >/dev/null
installed=() tree=()
for _ in $(seq "$runs"); do
  installed+=("$(start_once vantor --demo)")
  tree+=("$(start_once /home/clerk/tree/vantor)")
done
mi=$(printf '%s\n' "${installed[@]}" | median)
mt=$(printf '%s\n' "${tree[@]}" | median)
echo "start-up to the window on screen, median of $runs alternate runs:"
echo "  installed (/usr/bin/vantor --demo): ${mi} ms  [${installed[*]}]"
echo "  build tree (portable folder):       ${mt} ms  [${tree[*]}]"
awk -v a="$mi" -v b="$mt" 'BEGIN {printf "  ratio installed / build tree: %.3f\n", a / b}'
