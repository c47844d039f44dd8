#!/usr/bin/env bash
# Fills the demo's folder from a build folder: a copy of the program with
# both manuals beside it, where its Help looks first.
#
#   scripts/demo-folder.sh BUILD_FOLDER DEMO_FOLDER
set -euo pipefail
build="$1"
demo="$2"

for file in W_tk7713t W_tk7713t_EN.pdf W_tk7713t_CZ.pdf; do
  if [ ! -f "$build/src/$file" ]; then
    echo "demo-folder: $build/src/$file is missing; build W_tk7713t and tk7713t-manuals first" >&2
    exit 1
  fi
done
mkdir -p "$demo"
# A copy, not a link: the program looks for its settings beside the file it
# was started from after resolving links.
cp -f "$build/src/W_tk7713t" "$build/src/W_tk7713t_EN.pdf" "$build/src/W_tk7713t_CZ.pdf" "$demo/"
