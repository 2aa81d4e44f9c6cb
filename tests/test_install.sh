#!/usr/bin/env bash
# The installed folder, a second install over it, the user's menu entry, and
# the tar archive: tests/test_install.sh BUILD SOURCE
set -euo pipefail
build="$1"
source="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

app="$tmp/app"
XDG_DATA_HOME="$tmp/share" "$source/tools/install-user.sh" "$build" "$app" >/dev/null
for f in lumivane lumivane-sim se-033.mp3 el_dat.txt lumivane.svg lumivane-16.png lumivane-32.png; do
  [ -f "$app/$f" ] || fail "$f is not installed"
done
[ -x "$app/lumivane" ] && [ -x "$app/lumivane-sim" ] || fail "the programs are not executable"
cmp -s "$app/el_dat.txt" "$source/assets/el_dat.txt" || fail "the shipped presets differ"
[ ! -e "$app/com_no.txt" ] || fail "a port file was shipped"

# The operator's settings survive a second install.
printf '7\r\n' >"$app/com_no.txt"
printf ' 1 \r\n 2 \r\n' >"$app/el_dat.txt"
XDG_DATA_HOME="$tmp/share" "$source/tools/install-user.sh" "$build" "$app" >/dev/null
[ "$(od -An -c "$app/com_no.txt" | tr -s ' ')" = " 7 \r \n" ] || fail "com_no.txt was changed"
[ "$(cat "$app/el_dat.txt")" = "$(printf ' 1 \r\n 2 \r\n')" ] || fail "el_dat.txt was replaced"

# The menu entry starts the installed panel, and its icon is there.
entry="$tmp/share/applications/lumivane.desktop"
[ -f "$entry" ] || fail "no menu entry"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "invalid menu entry"; fi
exec_line=$(grep '^Exec=' "$entry" | cut -d= -f2-)
[ "$exec_line" = "$app/lumivane" ] || fail "the entry starts '$exec_line'"
grep -q '^Icon=lumivane$' "$entry" || fail "the entry names no icon"
for icon in 16x16/apps/lumivane.png 32x32/apps/lumivane.png scalable/apps/lumivane.svg; do
  [ -f "$tmp/share/icons/hicolor/$icon" ] || fail "icon $icon missing"
done
[ "$(identify -format '%wx%h' "$tmp/share/icons/hicolor/16x16/apps/lumivane.png")" = 16x16 ] || fail "16 px icon size"
[ "$(identify -format '%wx%h' "$tmp/share/icons/hicolor/32x32/apps/lumivane.png")" = 32x32 ] || fail "32 px icon size"

# CPack's tar archive holds the same folder.
(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >/dev/null) || fail "cpack failed"
archive=$(ls "$tmp"/pkg/lumivane-*.tar.gz)
listing=$(tar tzf "$archive")
for f in lumivane lumivane-sim se-033.mp3 el_dat.txt lumivane.svg; do
  grep -q "^lumivane-[^/]*/$f\$" <<<"$listing" || fail "$f is not in the archive"
done
echo "1 passed, 0 failed"
