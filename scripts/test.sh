#!/usr/bin/env bash
# Installs what is missing, builds everything (also the Windows cross-build
# of the layers below the UI) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64
echo "Windows cross-build: OK"

export QT_QPA_PLATFORM=offscreen
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j2
