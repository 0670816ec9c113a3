#!/usr/bin/env bash
# Renders the program icon kesv.svg at the sizes of the hicolor theme (kesv-<size>.png beside
# it). Run it again after changing the picture; the PNGs are committed.
#   data/icons/make_icons.sh          (needs rsvg-convert: scripts/install-deps.sh librsvg2-bin)
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" kesv.svg --output "kesv-$size.png"
done
