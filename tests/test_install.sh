#!/usr/bin/env bash
# The installed folder, a second install over it, the user's menu entry, and
# the tar archive: tests/test_install.sh BUILD SOURCE
set -euo pipefail
build="$1"
source="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
install_for_user() {
  XDG_DATA_HOME="$tmp/share" LUMIVANE_BIN_DIR="$tmp/bin" "$source/tools/install-user.sh" "$build" "$app" >/dev/null
}

app="$tmp/app"
install_for_user
for f in lumivane lumivane-sim se-033.mp3 lumivane.svg; do
  [ -f "$app/$f" ] || fail "$f is not installed"
done
[ -x "$app/lumivane" ] && [ -x "$app/lumivane-sim" ] || fail "the programs are not executable"
cmp -s "$app/el_dat.txt" "$source/assets/el_dat.txt" || fail "the shipped presets differ"
[ ! -e "$app/com_no.txt" ] || fail "a port file was shipped"

# The operator's settings survive a second install.
printf '7\r\n' >"$app/com_no.txt"
printf ' 1 \r\n 2 \r\n' >"$app/el_dat.txt"
install_for_user
cmp -s "$app/com_no.txt" <(printf '7\r\n') || fail "com_no.txt was changed"
cmp -s "$app/el_dat.txt" <(printf ' 1 \r\n 2 \r\n') || fail "el_dat.txt was replaced"

# The menu entry starts the installed panel, and its icon is there.
entry="$tmp/share/applications/lumivane.desktop"
desktop-file-validate "$entry" || fail "invalid menu entry"
grep -qx "Exec=$app/lumivane" "$entry" || fail "the entry does not start $app/lumivane"
grep -qx 'Icon=lumivane' "$entry" || fail "the entry names no icon"
cmp -s "$tmp/share/icons/hicolor/scalable/apps/lumivane.svg" "$app/lumivane.svg" || fail "no icon"

# The INDI driver where indiserver finds it; no user folder of driver
# descriptions, which would hide the system's from KStars.
[ -x "$tmp/bin/indi_lumivane" ] || fail "the INDI driver is not installed"
[ -x "$tmp/bin/lumivaned" ] || fail "the Alpaca server is not installed"
[ ! -e "$tmp/share/indi" ] || fail "a user folder of INDI driver descriptions was made"

echo "1 passed, 0 failed"
