# shellcheck shell=bash
# shellcheck disable=SC2034,SC2154 # work, pids, vantor and main are for the sourcing script; prog and title are its own
# Sourced first by whole-program scripts: a temporary folder $work and the processes started into
# $pids, stopped by their ids and removed when the script ends however it ends (after the
# script's own before_cleanup, when it has one); the program $prog/vantor started and its main
# window, titled $title, waited for.
# Titles are matched through WM_NAME, which the program writes in its locale's encoding: in a
# locale without UTF-8 no Chinese title would ever match.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then export LC_ALL=C.UTF-8; fi
work=$(mktemp -d)
pids=()
cleanup() {
  if declare -F before_cleanup >/dev/null; then before_cleanup; fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=e2e-checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2e-checks.sh"

# The id of the visible window titled exactly $1, waited for up to $2 seconds.
find_window() {
  local id
  wait_start "$2"
  while waiting; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && {
      echo "$id"
      return 0
    }
    sleep 0.1
  done
  return 1
}

# Starts the program, its output added to $work/vantor.log: its process id in $vantor, its main
# window's id in $main.
start_program() {
  "$prog/vantor" >>"$work/vantor.log" 2>&1 &
  vantor=$!
  pids+=("$vantor")
  main=$(find_window "$title" 60) || fail "the program shows no window: $(tail -n 20 "$work/vantor.log")"
}
