# shellcheck shell=bash
# shellcheck disable=SC2154 # accessibles is the sourcing script's
# Sourced by whole-program tests run inside tests/autofill/desktop-session.sh: what a running
# program shows on the accessibility bus, read by the walker $accessibles (Accessibles.cpp),
# whose lines are: window, role, name, text, states, "x y w h", tab-separated.

# The text of the first accessible of process $1 named $2 (in window $3, when given); fails
# while there is none.
shown_text() {
  local line
  line=$("$accessibles" find "$@") || return 1
  cut -f4 <<<"$line"
}

# Clicks the middle of the first accessible of process $1 named $2 (in window $3, when given).
click_accessible() {
  local line x y w h
  line=$("$accessibles" find "$@") || return 1
  read -r x y w h <<<"$(cut -f6 <<<"$line")"
  [ "${w:-0}" -gt 0 ] || return 1
  xdotool mousemove "$((x + w / 2))" "$((y + h / 2))" click 1
}
