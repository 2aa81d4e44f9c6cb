#!/usr/bin/env bash
# Makes assets/se-033.mp3, the short chime played when the inverter reports
# the shutter released: two soft sine tones with a quick fade, 0.3 s in all.
set -euo pipefail
out="${1:-$(dirname "$0")/../assets/se-033.mp3}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 1 "$tmp/a.wav" synth 0.12 sine 1320 fade q 0.005 0.12 0.06 vol 0.5
sox -n -r 44100 -c 1 "$tmp/b.wav" synth 0.18 sine 1760 fade q 0.005 0.18 0.12 vol 0.5
sox "$tmp/a.wav" "$tmp/b.wav" -C 64 "$out"
