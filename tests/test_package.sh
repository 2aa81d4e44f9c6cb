#!/usr/bin/env bash
# The Debian packages (docs/testing.md), as root: tests/test_package.sh. lintian's info tags left:
# hardening-no-fortify-functions (the driver calls none), package-contains-documentation-outside-
# usr-share-doc (el_dat.txt holds the shipped presets), spelling-error-in-binary (the compiler
# stores the simulator's messages as overlapping 8-byte pieces, read as "directtory").
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
# Polls for an event for up to 15 s: wait_for COMMAND WHAT-FAILED
wait_for() {
  for _ in $(seq 300); do eval "$1" && return 0; sleep 0.05; done
  fail "$2"
}

# Inside the root, offline: in_root headless|desktop VERSION
in_root() {
  local tester=(setpriv --reuid=tester --regid=tester --groups=dialout env HOME=/home/tester)
  local folder=/home/tester/.local/share/lumivane log sim
  # A unit's lines as systemd runs them for the instance tester
  unit() { sed -n "s/^$1=-\{0,1\}//p" "/lib/systemd/system/$2" | sed 's/%i/tester/g; s|%S|/var/lib|g'; }
  line() { grep -q -- "$1\$" "$log"; }
  # A simulator for each program (one that set the line exclusive keeps it so): start_sim LOG FOLDER USER...
  start_sim() {
    [ -z "${sim:-}" ] || { kill -TERM "$sim" && wait "$sim"; }
    log=/tmp/$1.log
    "${@:3}" lumivane-sim --port 1 --log "$log" </dev/null >/dev/null 2>&1 &
    sim=$!
    wait_for "[ -L $2/com1 ] && [ -s $log ]" "the simulator linked no port in $2"
  }
  # The panel takes PC control and stores preset 7 (pixels: twips / 15): panel_stores_preset FOLDER USER...
  panel_stores_preset() {
    start_sim "panel-$2" "$@"
    "${@:2}" DISPLAY="$DISPLAY" lumivane >/tmp/panel-out.log 2>&1 &
    local panel=$! window
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lumivane ver') || fail "no panel window"
    xdotool mousemove --window "$window" 36 92 click 1 # "パソコン"
    wait_for "line '-> :ELC1#'" "the panel did not connect"
    xdotool mousemove --window "$window" 92 176 click 1 mousemove --window "$window" 92 104 click 1 # "▲" of the duty and the frequency: reported, so stored
    wait_for "line '-> :EDU01#' && line '-> :EFQ46#'" "the inverter reported no duty and frequency"
    wait_for "xdotool mousemove --window $window 656 244 click 1; ! cmp -s $1/el_dat.txt /usr/share/lumivane/el_dat.txt" \
      "the panel stored no preset in $1"
    kill -TERM "$panel" && wait "$panel" || true
  }
  cd /tmp
  if [ "$1" = desktop ]; then
    . /tmp/xserver.sh && start_xvfb
    panel_stores_preset "$folder" "${tester[@]}"
    [ "$(stat -c %U "$folder/el_dat.txt")" = tester ] || fail "the presets are not the user's"
    touch /tmp/before-root # root too keeps them in a folder of its own, never under /usr
    panel_stores_preset /root/.local/share/lumivane env HOME=/root
    kill -TERM "$sim" "$XVFB_PID" && wait
    [ -z "$(find /usr -newer /tmp/before-root)" ] && [ -z "$(dpkg --verify)" ] || fail "root wrote under /usr"
    return
  fi
  "${tester[@]}" lumivaned --version | grep -qx "lumivaned $2" || fail "lumivaned --version"
  install -d -o tester -g tester /var/lib/lumivaned/tester /var/lib/lumivane-indi/tester

  # The INDI service: the driver saves its settings in the state folder; the stop hands control back.
  start_sim indi "$folder" "${tester[@]}"
  "${tester[@]}" $(unit Environment lumivane-indi@.service) sh -c "exec $(unit ExecStart lumivane-indi@.service)" \
    >/tmp/indiserver.log 2>&1 &
  local server=$! daemon
  wait_for "indi_getprop -h 127.0.0.1 -t 1 Lumivane.DRIVER_INFO.DRIVER_NAME 2>/dev/null | grep -q =Lumivane" \
    "indiserver indi_lumivane offers no device Lumivane"
  indi_setprop -h 127.0.0.1 "Lumivane.DEVICE_PORT.PORT=$folder/com1"
  indi_setprop -h 127.0.0.1 "Lumivane.CONNECTION.CONNECT=On"
  wait_for "line '<- :O#'" "the driver did not connect"
  indi_setprop -h 127.0.0.1 "Lumivane.FREQUENCY.FREQUENCY_HZ=500"
  wait_for "grep -qs FREQUENCY_HZ /var/lib/lumivane-indi/tester/Lumivane_config.xml" "the driver saved nothing"
  unit ExecStop lumivane-indi@.service | while read -r stop; do "${tester[@]}" sh -c "$stop"; done
  kill -TERM "$server" && wait "$server" || true
  wait_for "line '<- :F#'" "no :F# when the INDI service stops"

  start_sim lumivaned "$folder" "${tester[@]}"
  export STATE_DIRECTORY=/var/lib/lumivaned/tester
  "${tester[@]}" sh -c "printf '[device]\nserial=$folder/com1\n' >$STATE_DIRECTORY/lumivaned.ini"
  "${tester[@]}" sh -c "exec $(unit ExecStart lumivaned@.service)" >/tmp/lumivaned-out.log 2>&1 &
  daemon=$!
  wait_for "grep -qs Serving /tmp/lumivaned-out.log" "lumivaned did not start"
  exec 3<>/dev/tcp/127.0.0.1/11111
  printf 'PUT /api/v1/covercalibrator/0/connected HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 14\r\n%s\r\n\r\nConnected=true' \
    'Content-Type: application/x-www-form-urlencoded' >&3
  wait_for "line '<- :O#'" "lumivaned did not connect"
  exec 3>&-
  kill -TERM "$daemon" && wait "$daemon" || fail "lumivaned did not end cleanly on SIGTERM"
  wait_for "line '<- :F#'" "no :F# when lumivaned stops"
  kill -TERM "$sim" && wait "$sim"
}
[ "${1:-}" != --in-root ] || { in_root "$2" "$3"; exit; }

[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
cd "$(dirname "$0")/.."
tools/package.sh >/dev/null
sums=$(sha256sum build-package/*.deb)
DEB_BUILD_OPTIONS=nocheck tools/package.sh >/dev/null
[ "$sums" = "$(sha256sum build-package/*.deb)" ] || fail "two builds of this checkout differ"
lintian --pedantic --fail-on error,warning build-package/*.deb >build-package/lintian.log 2>&1 ||
  fail "lintian: $(cat build-package/lintian.log)"
for unit in lumivane-indi@ lumivaned@; do # read without a warning, at an exposure of 2.0 or less
  warned=$(systemd-analyze security --offline=true --threshold=20 "debian/systemd/$unit.service" 2>&1 >/tmp/score) &&
    [ -z "$warned" ] || fail "$unit.service: $warned $(tail -n 1 /tmp/score)"
  tail -n 1 /tmp/score
done

root=$(mktemp -d "$PWD/build-package/root.XXXXXX")
chmod 755 "$root"
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
# Installs packages as a user would, first saying what they bring: install_packages WHAT DEB...
install_packages() {
  echo "$1: $(run sh -c "cd /tmp && apt-get install --assume-no ${*:2}" 2>&1 | grep -E 'newly installed|Need to get|After this' |
    sed -E 's/^([0-9]+) upgraded, ([0-9]+) newly.*/\2 packages;/' | tr '\n' ' ')"
  run sh -c "cd /tmp && apt-get install -y -q ${*:2}" >build-package/apt.log 2>&1 ||
    fail "$1 did not install; see build-package/apt.log"
}
use_in_root() {
  unshare -n sh -c "ip link set lo up && chroot '$root' bash /tmp/test_package.sh --in-root $1 $(dpkg-parsechangelog -S Version | sed 's/-[^-]*$//')"
}

cp build-package/*.deb "$0" tools/xserver.sh "$root/tmp/"
rm "$root"/tmp/*-dbgsym_*.deb
install_packages headless ./indi-lumivane_*.deb ./lumivaned_*.deb ./lumivane-sim_*.deb
# (X's client library comes with Debian's INDI library, through libtheora0 and libcairo2.)
gui=$(run dpkg-query -W -f '${Package}\n' | grep -E '^(xserver|lib(gl1|wayland|qt6(gui|widgets)|gstreamer|asound|pulse))' || true)
[ -z "$gui" ] || fail "the headless packages brought $gui"
[ -f "$root/usr/share/indi/indi_lumivane.xml" ] || fail "the INDI driver is not where KStars looks"
[ -z "$(find "$root/etc/systemd" -name '*lumivane*' 2>/dev/null)" ] || fail "a service was enabled"
run useradd -m tester
use_in_root headless

install_packages desktop ./lumivane_*.deb
run apt-get install -y -q --no-install-recommends xvfb xdotool >build-package/apt.log 2>&1
use_in_root desktop

files=$(run dpkg -L indi-lumivane lumivaned lumivane lumivane-sim)
systemctl --root="$root" enable lumivaned@tester.service lumivane-indi@tester.service 2>/dev/null
[ -n "$(find "$root/etc/systemd" -name '*lumivane*')" ] || fail "the services were not enabled"
run apt-get purge -y -q indi-lumivane lumivaned lumivane lumivane-sim >build-package/apt.log 2>&1
while read -r f; do
  [ -d "$root$f" ] || ! { [ -e "$root$f" ] || [ -L "$root$f" ]; } || fail "the purge left $f"
done <<<"$files"
left=$(find "$root/etc/systemd" "$root/var/lib" "$root/usr/share/lumivane" -name '*lumivane*' 2>/dev/null || true)
[ -z "$left" ] || fail "the purge left $left"
echo "1 passed, 0 failed"
