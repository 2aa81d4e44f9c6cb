#!/usr/bin/env bash
# Runs a command on a private X server with a small window manager:
#   tools/with-x.sh COMMAND [ARG...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/xserver.sh"
start_xvfb
openbox --sm-disable >/dev/null 2>&1 </dev/null &
wm=$!
trap 'kill $wm $XVFB_PID 2>/dev/null || true' EXIT
# The window manager is ready once it announces itself on the root window.
exec 4< <(exec xprop -root -spy 2>/dev/null)
spy=$!
ready=no
while read -r -t 10 line <&4; do
  case $line in "_NET_SUPPORTING_WM_CHECK(WINDOW): window id"*) ready=yes; break ;; esac
done
kill "$spy" 2>/dev/null || true
[ "$ready" = yes ] || { echo "the window manager did not start" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
# Window titles are UTF-8, and xdotool matches them in the locale's encoding.
export LC_ALL=C.UTF-8
"$@"
