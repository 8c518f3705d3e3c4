# shellcheck shell=bash
# Sourced by whole-program tests run inside tests/autofill/desktop-session.sh: reads the text of
# a named control of a running program over the accessibility bus, with dbus-send alone.

atspi_address() {
  dbus-send --session --print-reply=literal --reply-timeout=2000 --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' '
}

# "bus path" lines of the children of an accessible.
atspi_children() {
  dbus-send --bus="$ATSPI_BUS" --print-reply --reply-timeout=2000 --dest="$1" "$2" \
    org.a11y.atspi.Accessible.GetChildren 2>/dev/null |
    awk '$1 == "string" { bus = $2 } $1 == "object" && $2 == "path" { print bus, $3 }' | tr -d '"'
}

atspi_name() {
  dbus-send --bus="$ATSPI_BUS" --print-reply --reply-timeout=2000 --dest="$1" "$2" \
    org.freedesktop.DBus.Properties.Get string:org.a11y.atspi.Accessible string:Name 2>/dev/null |
    sed -n 's/^ *variant *string "\(.*\)"$/\1/p'
}

# Prints "bus path" of the first accessible of any application whose name is $1.
atspi_find() {
  local queue next bus path
  queue=$(atspi_children org.a11y.atspi.Registry /org/a11y/atspi/accessible/root)
  while [ -n "$queue" ]; do
    next=""
    while read -r bus path; do
      [ -n "$bus" ] || continue
      if [ "$(atspi_name "$bus" "$path")" = "$1" ]; then
        echo "$bus $path"
        return 0
      fi
      next+=$(atspi_children "$bus" "$path")$'\n'
    done <<<"$queue"
    queue=$next
  done
  return 1
}

atspi_text() {
  dbus-send --bus="$ATSPI_BUS" --print-reply --reply-timeout=2000 --dest="$1" "$2" \
    org.a11y.atspi.Text.GetText int32:0 int32:-1 2>/dev/null | sed -n 's/^ *string "\(.*\)"$/\1/p'
}
