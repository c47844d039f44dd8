#!/usr/bin/env bash
# Installs what is missing, builds everything (also the Windows cross-build
# of the layers below the UI and the fuzz targets) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64
echo "Windows cross-build: OK"

# A few seconds per fuzz target, so the targets and their properties keep
# building and holding.
bash scripts/fuzz.sh 3

export QT_QPA_PLATFORM=offscreen
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j2
