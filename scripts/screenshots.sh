#!/usr/bin/env bash
# Renders every window of the program offscreen to PNG files, by default
# into docs/screenshots. The connected states come from a simulated
# converter on loopback; no settings file is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
out="${1:-$root/docs/screenshots}"

bash scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target tk7713t-screenshots

QT_QPA_PLATFORM=offscreen "$root/build/dev/tools/screenshots/tk7713t-screenshots" "$out"
