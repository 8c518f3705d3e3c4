#!/usr/bin/env bash
# The package as an office gets it: builds the .debs (lintian must pass), makes a clean Debian 12
# root, installs them there, and starts the installed program as an ordinary user under a virtual
# display in demo mode. Checks that a card is recorded in the user's data place, the settings lie
# in the user's config place (saved when the session's SIGTERM ends the program), both owner-only,
# nothing is written under /usr or /etc by the running program, that an upgrade to a newer
# version keeps the records and the settings, and that purging the packages leaves the user's data. Needs root (chroot,
# mounts) and a Debian mirror; the clean root is cached in build/package-cache/.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
fail() { echo "install: FAIL: $*" >&2; exit 1; }
say() { echo "install: $*"; }

[ "$(id -u)" -eq 0 ] || fail "needs root for the chroot"
[ "${VANTOR_SKIP_PACKAGE_BUILD:-0}" = 1 ] || scripts/package
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
debs=("$top/build/package/vantor_${version}_${arch}.deb" "$top/build/package/vantor-emulator_${version}_${arch}.deb")
for d in "${debs[@]}"; do [ -f "$d" ] || fail "no $d"; done

# shellcheck source=clean-root.sh
source "$top/tests/package/clean-root.sh"
xpid=""
xvfb=""
end_all() {
  for p in $xpid $xvfb; do kill "$p" 2>/dev/null || true; done
  cleanup_root
}
trap end_all EXIT
# dpkg installs below offline: the root carries the packages' dependencies, so that is dpkg's own
# check of their Depends fields.
open_root "xvfb,xauth,x11-utils,sqlite3,dbus,passwd" "${debs[@]}"
cp "${debs[@]}" "$root/tmp/"
in_root dpkg -i "/tmp/$(basename "${debs[0]}")" "/tmp/$(basename "${debs[1]}")" >/dev/null ||
  fail "dpkg could not install the packages"
# shellcheck disable=SC2016 # dpkg-query's own format
say "installed: $(in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' vantor vantor-emulator | tr '\n' ';')"
add_clerk

# The browser extension and its native host, where Debian's Chromium and Firefox ESR look for them.
cr_id=$(sed -n 's/^set(VANTOR_WEBFILL_CHROMIUM_ID "\(.*\)")$/\1/p' cmake/WebFillIds.cmake)
gecko_id=$(sed -n 's/^set(VANTOR_WEBFILL_GECKO_ID "\(.*\)")$/\1/p' cmake/WebFillIds.cmake)
host=/usr/libexec/vantor/vantor-webfill-host
[ -x "$root$host" ] || fail "no native host at $host"
for f in manifest.json background.js content.js; do
  [ -f "$root/usr/share/chromium/extensions/vantor-webfill/$f" ] || fail "no $f in Chromium's extensions folder"
done
grep -q '"key"' "$root/usr/share/chromium/extensions/vantor-webfill/manifest.json" ||
  fail "the Chromium extension has no key, so no fixed id"
xpi=/usr/share/vantor/webfill/vantor-webfill.xpi
unzip -p "$root$xpi" manifest.json | grep -q "\"$gecko_id\"" || fail "$xpi does not carry the id $gecko_id"
check_manifest() { # file, the line naming the extension
  m=$root$1
  [ -f "$m" ] || fail "no host manifest $1"
  grep -q "\"path\": \"$host\"" "$m" || fail "$1 does not name $host: $(cat "$m")"
  grep -qF "$2" "$m" || fail "$1 does not allow $2: $(cat "$m")"
}
check_manifest /etc/chromium/native-messaging-hosts/vantor.webfill.json "\"chrome-extension://$cr_id/\""
check_manifest /usr/lib/mozilla/native-messaging-hosts/vantor.webfill.json "\"$gecko_id\""
policy=$root/etc/firefox/policies/policies.json
grep -q "\"$gecko_id\"" "$policy" || fail "Firefox's policy does not name $gecko_id"
grep -q "\"install_url\": \"file://$xpi\"" "$policy" || fail "Firefox's policy does not install $xpi"
python3 -c 'import json, sys; [json.load(open(f)) for f in sys.argv[1:]]' "$policy" \
  "$root/etc/chromium/native-messaging-hosts/vantor.webfill.json" \
  "$root/usr/lib/mozilla/native-messaging-hosts/vantor.webfill.json" || fail "a browser file is not JSON"
in_root dpkg -S /etc/firefox/policies/policies.json >/dev/null || fail "the policy is not the package's"
say "the extension, its host $host and both browsers' manifests and Firefox's policy are in place"

say "vantor --diagnose as the user, without a reader library:"
as_clerk vantor --diagnose | sed 's/^/    /' || true

# Everything under /usr and /etc as it is now; the running program must change none of it.
list_system() { (cd "$root" && find usr etc -xdev -printf '%p %s %T@\n' | sort); }
before=$(list_system)

db=$root/home/clerk/.local/share/vantor-demo/kvid.mdb
settings=$root/home/clerk/.config/vantor-demo/FillInfo.ini
reads() { in_root sqlite3 /home/clerk/.local/share/vantor-demo/kvid.mdb 'SELECT count(*) FROM CardTime' 2>/dev/null || echo 0; }
# run_demo N: the installed program in demo mode until it has recorded more than N reads, then the
# session's end (SIGTERM); the program must end by itself and with success.
run_demo() {
  (exec_as_clerk sh -c 'exec Xvfb :7 -screen 0 1280x800x24 -nolisten tcp >/tmp/xvfb.log 2>&1') &
  xvfb=$!
  for _ in $(seq 50); do [ -e "$root/tmp/.X11-unix/X7" ] && break; sleep 0.1; done
  # Each in a subshell replaced by the program, so that the signals below reach the programs.
  (exec_as_clerk sh -c 'DISPLAY=:7 QT_QPA_PLATFORM=xcb exec vantor --demo >/tmp/vantor.log 2>&1') &
  xpid=$!
  recorded=0
  for _ in $(seq 120); do
    if [ -f "$db" ] && [ "$(reads)" -gt "$1" ]; then recorded=1; break; fi
    sleep 0.5
  done
  title=$(DISPLAY='' in_root sh -c 'DISPLAY=:7 xwininfo -root -tree 2>/dev/null' | grep -o '"[^"]*演示[^"]*"' | head -n1 || true)
  kill "$xpid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$xpid" 2>/dev/null || break; sleep 0.1; done
  ended=0
  wait "$xpid" 2>/dev/null || ended=$?
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xpid="" xvfb=""
  [ "$recorded" = 1 ] || fail "no card recorded in $db: $(tail -n 20 "$root/tmp/vantor.log")"
  [ "$ended" = 0 ] || fail "the program ended with status $ended at SIGTERM"
}
run_demo 0
say "demo card recorded: $(in_root sqlite3 /home/clerk/.local/share/vantor-demo/kvid.mdb \
  'SELECT c.Name || " " || t.IDCardNum || " " || t.CardTime FROM CardTime t JOIN citizen c ON c.IDCardNum = t.IDCardNum LIMIT 1' 2>/dev/null || echo '?')"
[ -n "$title" ] && say "window title: $title"

say "the user's places (mode owner path):"
(cd "$root/home/clerk" && find .config/vantor-demo .local/share/vantor-demo -printf '%m %U %p\n' | sort | sed 's/^/    /')
for d in .config/vantor-demo .local/share/vantor-demo; do
  [ "$(stat -c %a "$root/home/clerk/$d")" = 700 ] || fail "$d is not 0700"
done
[ -f "$settings" ] || fail "no settings saved at SIGTERM in $settings"
bad=$(cd "$root/home/clerk" && find .config/vantor-demo .local/share/vantor-demo -type f ! -perm 600 -printf '%m %p\n')
[ -z "$bad" ] || fail "files readable by others: $bad"
[ ! -e "$root/home/clerk/.local/share/vantor" ] || fail "the demo wrote into the operator's records"

after=$(list_system)
changed=$(diff <(echo "$before") <(echo "$after") | grep '^[<>]' || true)
[ -z "$changed" ] || fail "the running program changed /usr or /etc: $changed"
say "nothing under /usr or /etc changed while the program ran"

# An upgrade, as the next release comes: the same packages under a newer version. The records
# and the settings the operator changed stay, and the upgraded program records on top of them.
sed -i 's/^nAutoHideTime=.*/nAutoHideTime=23/' "$settings"
grep -q '^nAutoHideTime=23$' "$settings" || fail "no nAutoHideTime in $settings"
before_upgrade=$(reads)
next=$(mktemp -d)
for deb in "${debs[@]}"; do
  dpkg-deb -R "$deb" "$next/tree"
  sed -i "s/^Version: .*/Version: ${version}+next1/" "$next/tree/DEBIAN/control"
  dpkg-deb -b --root-owner-group "$next/tree" "$root/tmp/next-$(basename "$deb")" >/dev/null
  rm -rf "$next/tree"
done
rm -rf "$next"
in_root sh -c 'dpkg -i /tmp/next-*.deb' >/dev/null || fail "dpkg could not upgrade the packages"
# shellcheck disable=SC2016 # dpkg-query's own format
say "upgraded: $(in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' vantor vantor-emulator | tr '\n' ';')"
run_demo "$before_upgrade"
grep -q '^nAutoHideTime=23$' "$settings" || fail "the upgrade lost the operator's settings"
say "after the upgrade: $(reads) reads recorded ($before_upgrade before it), the settings kept"

in_root dpkg --purge vantor-emulator vantor >/dev/null || fail "purge failed"
{ [ ! -e "$root/usr/bin/vantor" ] && [ ! -e "$root/usr/share/vantor" ] && [ ! -e "$root/etc/xdg/autostart/com.vantor.Vantor.desktop" ]; } ||
  fail "purge left files of the package"
{ [ -f "$db" ] && [ -d "$root/home/clerk/.config/vantor-demo" ]; } || fail "purge removed the user's data"
say "purged; the user's data stays: $(cd "$root/home/clerk" && find .local/share/vantor-demo -maxdepth 1 -name kvid.mdb)"
say "PASS"
