#!/usr/bin/env bash
# Installs a built tree for the current user: tools/install-user.sh BUILD FOLDER
# The folder gets the programs and their files (the operator's com_no.txt and
# el_dat.txt there are kept); the menu entry and icons go to the user's data
# folder (XDG_DATA_HOME, by default ~/.local/share). The INDI driver goes to
# ~/.local/bin, where indiserver finds it by name, and so does the Alpaca
# server lumivaned. Its description does not go
# to DATA/indi: KStars would take that folder for all its drivers' descriptions
# and lose the system's.
set -euo pipefail
build="$1"
folder="$2"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
bin="${LUMIVANE_BIN_DIR:-$HOME/.local/bin}"
cmake --install "$build" --prefix "$folder" >/dev/null
folder=$(cd "$folder" && pwd)

for size in 16 32; do
  install -D -m 644 "$folder/lumivane-$size.png" "$data/icons/hicolor/${size}x${size}/apps/lumivane.png"
done
install -D -m 644 "$folder/lumivane.svg" "$data/icons/hicolor/scalable/apps/lumivane.svg"
mkdir -p "$data/applications"
sed "s|@EXEC@|$folder/lumivane|g" "$folder/lumivane.desktop.in" >"$data/applications/lumivane.desktop"
chmod 644 "$data/applications/lumivane.desktop"
install -D -m 755 "$build/bin/indi_lumivane" "$bin/indi_lumivane"
install -D -m 755 "$build/bin/lumivaned" "$bin/lumivaned"
if command -v update-desktop-database >/dev/null; then update-desktop-database -q "$data/applications"; fi
echo "installed in $folder; menu entry $data/applications/lumivane.desktop"
echo "INDI driver $bin/indi_lumivane; Alpaca server $bin/lumivaned"
