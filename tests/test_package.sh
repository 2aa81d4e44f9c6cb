#!/usr/bin/env bash
# The Debian package, built from this checkout: lintian finds no error; in a
# fresh Debian 12 root it installs with its dependencies, the INDI driver,
# lumivaned, the services' command lines and the panel (as an ordinary user)
# work, and a purge leaves none of its files. As root: tests/test_package.sh
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
# Polls for an event for up to 15 s: wait_for COMMAND WHAT-FAILED
wait_for() {
  for _ in $(seq 300); do eval "$1" && return 0; sleep 0.05; done
  fail "$2"
}

# Inside the root, offline, as root: the programs and the units' command lines.
in_root() {
  local version=$1 folder=/home/tester/.local/share/lumivane log sim
  # As systemd runs a unit's lines with User=tester and SupplementaryGroups=dialout.
  local user=(setpriv --reuid=tester --regid=tester --groups=dialout env HOME=/home/tester)
  unit() { sed -n "s/^$1=-\{0,1\}//p" "/usr/lib/systemd/system/$2" | sed 's/%i/tester/g'; }
  line() { grep -q -- "$1\$" "$log"; }
  # A simulator for each program: one that set the line exclusive keeps it so
  # while the simulator holds the terminal open.
  start_sim() {
    [ -z "${sim:-}" ] || { kill -TERM "$sim" && wait "$sim"; }
    log=/tmp/$1.log
    "${user[@]}" lumivane-sim --port 1 --log "$log" </dev/null >/dev/null 2>&1 &
    sim=$!
    wait_for "[ -L $folder/com1 ] && [ -s $log ]" "the simulator linked no port in $folder"
  }
  cd /tmp
  "${user[@]}" lumivaned --version | grep -qx "lumivaned $version" || fail "lumivaned --version"

  # The simulator links its port in the user's folder, seeded with the shipped presets.
  start_sim indi
  cmp -s "$folder/el_dat.txt" /usr/lib/lumivane/el_dat.txt || fail "the user's presets were not seeded"

  # The INDI service: the driver offers Lumivane; the stop hands control back.
  "${user[@]}" sh -c "exec $(unit ExecStart lumivane-indi@.service)" >/tmp/indiserver.log 2>&1 &
  local server=$!
  wait_for "indi_getprop -h 127.0.0.1 -t 1 Lumivane.DRIVER_INFO.DRIVER_NAME 2>/dev/null | grep -q =Lumivane" \
    "indiserver indi_lumivane offers no device Lumivane"
  indi_setprop -h 127.0.0.1 "Lumivane.DEVICE_PORT.PORT=$folder/com1"
  indi_setprop -h 127.0.0.1 "Lumivane.CONNECTION.CONNECT=On"
  wait_for "line '<- :O#'" "the driver did not connect"
  unit ExecStop lumivane-indi@.service | while read -r stop; do "${user[@]}" sh -c "$stop"; done
  kill -TERM "$server"
  wait "$server" || true
  wait_for "line '<- :F#'" "no :F# when the INDI service stops"

  # The Alpaca service, connected over HTTP, stopped by SIGTERM.
  start_sim lumivaned
  "${user[@]}" sh -c "mkdir -p ~/.config/lumivane && printf '[device]\nserial=$folder/com1\n' >~/.config/lumivane/lumivaned.ini"
  "${user[@]}" sh -c "exec $(unit ExecStart lumivaned@.service)" >/tmp/lumivaned-out.log 2>&1 &
  local daemon=$!
  wait_for "grep -qs Serving /tmp/lumivaned-out.log" "lumivaned did not start"
  exec 3<>/dev/tcp/127.0.0.1/11111
  printf 'PUT /api/v1/covercalibrator/0/connected HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 14\r\n%s\r\n\r\nConnected=true' \
    'Content-Type: application/x-www-form-urlencoded' >&3
  wait_for "line '<- :O#'" "lumivaned did not connect"
  exec 3>&-
  kill -TERM "$daemon"
  wait "$daemon" || fail "lumivaned did not end cleanly on SIGTERM"
  wait_for "line '<- :F#'" "no :F# when lumivaned stops"

  # The panel, started by an ordinary user, takes PC control and stores preset 7
  # (positions in pixels: the window's layout in twips / 15).
  . /tmp/xserver.sh
  start_xvfb
  start_sim panel
  "${user[@]}" DISPLAY="$DISPLAY" lumivane >/tmp/panel-out.log 2>&1 &
  local panel=$! window
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lumivane ver') || fail "no panel window"
  xdotool mousemove --window "$window" 36 92 click 1 # "パソコン"
  wait_for "line '-> :ELC1#'" "the panel did not connect"
  wait_for "xdotool mousemove --window $window 656 244 click 1; ! cmp -s $folder/el_dat.txt /usr/lib/lumivane/el_dat.txt" \
    "the panel stored no preset in $folder"
  [ "$(stat -c %U "$folder/el_dat.txt")" = tester ] || fail "the presets are not the user's"
  kill -TERM "$panel" "$sim" "$XVFB_PID"
  wait
}
if [ "${1:-}" = --in-root ]; then
  in_root "$2"
  exit
fi

[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
cd "$(dirname "$0")/.."
tools/package.sh >/dev/null
deb=$(ls build-package/lumivane_*.deb)
lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"

root=$(mktemp -d "$PWD/build-package/root.XXXXXX")
chmod 755 "$root"
# Ends what still runs in the root, unmounts and removes it.
cleanup() {
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
  done
  umount -l "$root/dev/pts" "$root/proc" 2>/dev/null || true
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
. tools/debian-root.sh
debian_root "$root" >build-package/debootstrap.log 2>&1 || fail "debootstrap failed; see build-package/debootstrap.log"
mount -t proc proc "$root/proc"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
run() { chroot "$root" env DEBIAN_FRONTEND=noninteractive "$@"; }

cp "$deb" "$root/tmp/"
run sh -c 'cd /tmp && apt-get install -y -q ./lumivane_*.deb' >/dev/null || fail "the package did not install"
# KStars runs a driver described in /usr/share/indi that sits beside indiserver.
[ -x "$root/usr/bin/indi_lumivane" ] && [ -x "$root/usr/bin/indiserver" ] &&
  [ -f "$root/usr/share/indi/indi_lumivane.xml" ] || fail "the INDI driver is not where KStars looks"
for unit in lumivane-indi@.service lumivaned@.service; do
  verified=$(systemd-analyze verify --root="$root" "/usr/lib/systemd/system/$unit" 2>&1) &&
    [ -z "$verified" ] || fail "$unit: $verified"
  grep -qx Restart=on-failure "$root/usr/lib/systemd/system/$unit" || fail "$unit does not restart"
done
[ -z "$(find "$root/etc/systemd" -name 'lumivane*' 2>/dev/null)" ] || fail "a service was enabled"

run apt-get install -y -q --no-install-recommends xvfb xdotool >/dev/null
run useradd -m tester
cp "$0" tools/xserver.sh "$root/tmp/"
unshare -n sh -c "ip link set lo up && chroot '$root' bash /tmp/test_package.sh --in-root \
  '$(dpkg-deb -f "$deb" Version)'"

files=$(run dpkg -L lumivane)
run apt-get purge -y -q lumivane >/dev/null
while read -r f; do
  [ -d "$root$f" ] || ! { [ -e "$root$f" ] || [ -L "$root$f" ]; } || fail "the purge left $f"
done <<<"$files"
for d in /usr/lib/lumivane /usr/share/doc/lumivane; do [ ! -e "$root$d" ] || fail "the purge left $d"; done
echo "1 passed, 0 failed"
