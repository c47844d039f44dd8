#!/usr/bin/env bash
# Renders the program's icon, packaging/w-tk7713t.svg, into the PNGs the
# windows carry (packaging/icons/, built into the program as a resource) and
# the Windows icon packaging/w-tk7713t.ico (linked into W_tk7713t.exe). Both
# are kept in the repository, so neither the build nor a Qt without SVG
# support needs these tools; run this after changing the SVG. Needs
# rsvg-convert (librsvg2-bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=packaging/w-tk7713t.svg
ico=packaging/w-tk7713t.ico
for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || {
    echo "icons: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2
    exit 1
  }
done
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "packaging/icons/w-tk7713t-$size.png" "$svg"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in 16 20 24 32 40 48 64 256; do
  rsvg-convert --width "$size" --height "$size" --output "$work/$size.png" "$svg"
  pngs+=("$work/$size.png")
done
# Stored without a timestamp, so the same SVG gives the same bytes.
convert "${pngs[@]}" -define png:exclude-chunks=date,time "$ico"
echo "$ico: $(stat -c %s "$ico") bytes; packaging/icons: $(ls packaging/icons | wc -l) PNGs"
