#!/usr/bin/env bash
# Renders the program's icon, packaging/w-tk7713t.svg, into the Windows icon
# packaging/w-tk7713t.ico (16 to 256 pixels), which the Windows build links
# into W_tk7713t.exe. The .ico is kept in the repository, so the build needs
# neither tool; run this after changing the SVG. Needs rsvg-convert
# (librsvg2-bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=packaging/w-tk7713t.svg
ico=packaging/w-tk7713t.ico
for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || {
    echo "windows-icon: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2
    exit 1
  }
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
echo "$ico: $(stat -c %s "$ico") bytes"
