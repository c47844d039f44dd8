#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, sanitizers) and runs each for
# SECONDS (default 60), starting from the seeds in fuzz/corpus/NAME. Inputs
# found along the way are kept per target in build/fuzz/corpus/, so later
# runs start from them. A broken property or a
# sanitizer report stops the run with the offending input saved beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for target in build/fuzz/fuzz/*_fuzz; do
  name="$(basename "$target")"
  # Absolute paths: a target may work in a scratch folder of its own.
  corpus="$PWD/build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$PWD/build/fuzz/$name-" \
    "$corpus" $([ -d "fuzz/corpus/$name" ] && echo "$PWD/fuzz/corpus/$name") </dev/null 2>"build/fuzz/$name.log" || { tail -40 "build/fuzz/$name.log"; exit 1; }
  grep -E "^stat::(number_of_executed_units|new_units_added)" "build/fuzz/$name.log" | sed "s/^/  /" || true
done
echo "fuzz: every target held its properties"
