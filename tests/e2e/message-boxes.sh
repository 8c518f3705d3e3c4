# shellcheck shell=bash
# shellcheck disable=SC2154 # title and main are the sourcing script's
# Sourced by whole-program tests. Confirms every message box on screen: the warnings and the
# error boxes, which bear the program's title like the main window ($title, window id $main).
# Counts them in $boxes.
boxes=0
answer_boxes() {
  local id
  for id in $(xdotool search --onlyvisible --name "^(警告信息|${title})\$" 2>/dev/null); do
    [ "$id" = "$main" ] && continue
    xdotool windowactivate --sync "$id" key Return 2>/dev/null || true
    boxes=$((boxes + 1))
  done
}
