#!/usr/bin/env bash
# Builds the Windows program (preset win64-gui) and packs it: the installer
# build/win64-gui/W_tk7713t-<version>-win64.exe and the portable ZIP beside
# it. Needs the Qt for mingw-w64 that scripts/windows-qt.sh builds once, and
# takes the manuals from the Linux build (preset ci), which it builds too.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

bash scripts/setup.sh
qt=$(bash scripts/windows-qt.sh --prefix)
if [ ! -f "$qt/.w-tk7713t-qt-stamp" ]; then
  echo "windows-package: no Qt for mingw-w64 in $qt; build it once with" >&2
  echo "  bash scripts/windows-qt.sh    (about 45 minutes on two cores)" >&2
  exit 1
fi

# The manuals render the windows with the Linux build's own tools.
cmake --preset ci >/dev/null
cmake --build --preset ci --target tk7713t-manuals

cmake --preset win64-gui -DTK_QT_MINGW="$qt" >/dev/null
cmake --build --preset win64-gui --target W_tk7713t W_tk7713t-installed tk7713t \
  tk7713t-windows-runtime tk7713t-windows-manuals
(cd build/win64-gui && cpack -G "NSIS;ZIP" >/dev/null)

echo
for f in build/win64-gui/W_tk7713t-*-win64.exe build/win64-gui/W_tk7713t-*-win64.zip; do
  printf '%s  %s\n' "$(du -h "$f" | cut -f1)" "$f"
done
echo "Time: $((SECONDS - started)) s"
