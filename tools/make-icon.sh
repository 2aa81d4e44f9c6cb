#!/usr/bin/env bash
# Renders assets/lumivane.svg to the 16 x 16 and 32 x 32 pixel icons.
set -euo pipefail
cd "$(dirname "$0")/../assets"
for size in 16 32; do
  convert -background none -density 300 lumivane.svg -resize "${size}x${size}" "PNG32:lumivane-$size.png"
done
