#!/usr/bin/env bash
# Sets up, builds and starts the panel with the inverter simulator on its port.
# Press "パソコン" to connect. Type the simulator's commands (h for help) in
# this terminal: u/d turn the front-panel knob, m switches the mode, b beeps.
# Closing the panel ends the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
bin=build/bin

# The simulator takes the port the panel will use: the one remembered in
# com_no.txt, or COM1.
port=1
if [ -f "$bin/com_no.txt" ]; then
  remembered=$(head -n 1 "$bin/com_no.txt" | tr -d ' "\r')
  remembered=${remembered%%,*}
  [[ $remembered =~ ^([1-9]|1[0-5])$ ]] && port=$remembered
fi

if [ -t 0 ]; then
  "$bin/lumivane-sim" --dir "$bin" --port "$port" </dev/tty &
else
  "$bin/lumivane-sim" --dir "$bin" --port "$port" </dev/null &
fi
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
"$bin/lumivane"
