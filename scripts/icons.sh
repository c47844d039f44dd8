#!/usr/bin/env bash
# Renders the program's icon, packaging/w-tk7713t.svg, into the PNGs the
# windows carry (packaging/icons/, built into the program as a resource).
# They are kept in the repository, so neither the build nor a Qt without
# SVG support needs the renderer; run this after changing the SVG. Needs
# rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
svg=packaging/w-tk7713t.svg
command -v rsvg-convert >/dev/null || {
  echo "icons: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
  exit 1
}
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "packaging/icons/w-tk7713t-$size.png" "$svg"
done
ls -l packaging/icons
