#!/usr/bin/env bash
# Renders the README's pictures on a private X server:
#   docs/panel-offline.png    the panel as it opens
#   docs/panel-connected.png  the panel talking to the simulator, in PC
#                             control, after a recall of preset 2
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/xserver.sh
start_xvfb
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" "$XVFB_PID" 2>/dev/null || true; rm -rf "$work"' EXIT
cp build/bin/lumivane assets/el_dat.txt assets/se-033.mp3 "$work/"

panel_window() { xdotool search --sync --onlyvisible --name '^Lumivane ver1.54$' | head -n 1; }
# Waits until the simulator's log holds a line ending in $1.
wait_log() {
  for _ in $(seq 500); do
    grep -q -- "$1\$" "$work/sim.log" 2>/dev/null && return 0
    sleep 0.02
  done
  echo "no '$1' from the simulator" >&2
  return 1
}
# The colour of one pixel of the window, as r,g,b.
pixel() { import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- | grep -o 'srgb([0-9,]*)' | tr -d 'srgb()'; }

"$work/lumivane" >/dev/null 2>&1 </dev/null &
pids+=($!)
window=$(panel_window)
import -window "$window" docs/panel-offline.png
kill "${pids[-1]}"

build/bin/lumivane-sim --dir "$work" --port 1 --log "$work/sim.log" >/dev/null </dev/null &
pids+=($!)
"$work/lumivane" >/dev/null 2>&1 </dev/null &
pids+=($!)
window=$(panel_window)
xdotool mousemove --window "$window" 36 92 click 1      # "パソコン"
wait_log '-> :ELC1#'
xdotool mousemove --window "$window" 424 84 click 1     # preset "2"
wait_log '-> :EFQ40#'
for _ in $(seq 500); do                                 # the lamp has been painted
  [ "$(pixel "$window" 36 116)" = "255,128,0" ] && break
  sleep 0.02
done
xdotool mousemove --window "$window" 700 270           # pointer out of the way
import -window "$window" docs/panel-connected.png
echo "wrote docs/panel-offline.png docs/panel-connected.png"
