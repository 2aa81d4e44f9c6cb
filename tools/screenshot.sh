#!/usr/bin/env bash
# Takes a screenshot of the panel as it opens, on a private X server:
# tools/screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/panel-offline.png}"
. tools/xserver.sh
start_xvfb
build/bin/lumivane >/dev/null 2>&1 </dev/null &
app_pid=$!
trap 'kill $app_pid $XVFB_PID 2>/dev/null || true' EXIT
window=$(xdotool search --sync --onlyvisible --name '^Lumivane ver1.54$' | head -n 1)
import -window "$window" "$out"
echo "wrote $out"
