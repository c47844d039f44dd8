#!/usr/bin/env bash
# Installs what is missing, builds everything (also the Windows cross-build
# of the layers below the UI and the fuzz targets) and runs every test: the
# Windows tests under Wine first, the Linux tests last.
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

# Under Wine, in a prefix inside build/win64 (its first start takes a while);
# the end-to-end check runs the Windows tk7713t against the Linux simulator
# of the ci build.
start=$(date +%s)
ctest --preset win64 -j2
echo "Windows tests under Wine: OK ($(($(date +%s) - start)) s)"

ctest --preset ci -j2
