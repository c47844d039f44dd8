#!/usr/bin/env bash
# Fails when a C++ source differs from .clang-format: the tracked files and
# the new ones git does not ignore. With --fix, formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run -Werror)
[ "${1:-}" = --fix ] && mode=(-i)
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  files=$( { git ls-files; git ls-files --others --exclude-standard; } | grep -E '\.(cpp|h|inc)$' | sort -u)
else
  files=$(find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' -o -name '*.inc' | sort)
fi
# Only files that exist: a deletion not yet committed is still listed.
existing=()
for f in $files; do [ -f "$f" ] && existing+=("$f"); done
clang-format "${mode[@]}" "${existing[@]}"
