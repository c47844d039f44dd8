#!/usr/bin/env bash
# Installs what is missing, builds everything (also the Windows cross-build
# of the layers below the UI and the fuzz targets) and runs every test: the
# Windows tests under Wine first, the Linux tests last. A failing stage does
# not hide the others: every stage that can run does, both test summaries
# are printed at the end, and the script fails if any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

failed=()
# Runs one stage; a failure is noted and the script goes on.
stage() {
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then
    return 0
  fi
  echo "=== $name: FAILED"
  failed+=("$name")
  return 1
}

windows_build() { cmake --preset win64 >/dev/null && cmake --build --preset win64; }
linux_build() { cmake --preset ci && cmake --build --preset ci; }

# ctest's own closing lines, kept for the summary at the end.
summary_of() { grep -E '^[0-9]+% tests passed|^The following tests FAILED|^[[:space:]]+[0-9]+ - ' "$1"; }

run_tests() {
  local preset=$1 log=$2
  shift 2
  ctest --preset "$preset" -j2 --output-on-failure "$@" 2>&1 | tee "$log"
  return "${PIPESTATUS[0]}"
}

# Tests that failed once and passed when run again: named in the summary,
# with their first output above in the log, never silently.
second_tries() {
  local failed_once
  failed_once=$(sed -nE 's/.*Test +#[0-9]+: ([^ ]+) \.+\*\*\*(Failed|Exception|Timeout).*/\1/p' "$1" | sort -u)
  for t in $failed_once; do
    grep -qE "^[[:space:]]+[0-9]+ - $t " "$1" || printf ' %s' "$t"
  done
}

export QT_QPA_PLATFORM=offscreen
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

stage "Windows cross-build" windows_build && windows_built=1 || windows_built=0
# A few seconds per fuzz target, so the targets and their properties keep
# building and holding.
stage "Fuzz targets" bash scripts/fuzz.sh 3
stage "Linux build" linux_build && linux_built=1 || linux_built=0

# Under Wine, in a prefix inside build/win64 (its first start takes a while);
# the end-to-end check runs the Windows tk7713t against the Linux simulator
# of the ci build.
windows_summary="not run: the Windows or the Linux build failed"
if [ "$windows_built" = 1 ] && [ "$linux_built" = 1 ]; then
  start=$(date +%s)
  # Under load a Wine process now and then exits without a cause in the
  # program (seen once in 0.3 s, output lost); a test that fails under Wine
  # is run once more, and the summary names it.
  stage "Windows tests under Wine" run_tests win64 "$logs/win64" --repeat until-pass:2
  windows_summary="$(summary_of "$logs/win64") ($(($(date +%s) - start)) s)"
  retried=$(second_tries "$logs/win64")
  [ -z "$retried" ] || windows_summary="$windows_summary; passed on a second try:$retried"
fi

# The Windows program with its windows, built against the Qt for mingw-w64
# that scripts/windows-qt.sh caches, then its window tests and the smoke
# test of the program, its ZIP and its installer under Wine (the latter
# against the ci build's simulator, with the ci build's manuals).
windows_gui_summary="not run: the Linux build failed"
qt_mingw=$(bash scripts/windows-qt.sh --prefix 2>/dev/null || true)
windows_gui() {
  cmake --preset win64-gui -DTK_QT_MINGW="$qt_mingw" >/dev/null || return 1
  cmake --build --preset win64-gui || return 1
  run_tests win64-gui "$logs/win64-gui" --repeat until-pass:2
}
if [ -z "$qt_mingw" ] || [ ! -f "$qt_mingw/.w-tk7713t-qt-stamp" ]; then
  echo "=== Windows GUI: skipped, no Qt for mingw-w64 (scripts/windows-qt.sh builds it once)"
  windows_gui_summary=""
elif [ "$linux_built" = 1 ]; then
  start=$(date +%s)
  stage "Windows GUI" windows_gui
  windows_gui_summary="not run: the build failed"
  if [ -f "$logs/win64-gui" ]; then
    windows_gui_summary="$(summary_of "$logs/win64-gui") ($(($(date +%s) - start)) s)"
    retried=$(second_tries "$logs/win64-gui")
    [ -z "$retried" ] || windows_gui_summary="$windows_gui_summary; passed on a second try:$retried"
  fi
fi

linux_summary="not run: the Linux build failed"
if [ "$linux_built" = 1 ]; then
  stage "Linux tests" run_tests ci "$logs/ci"
  linux_summary=$(summary_of "$logs/ci")
fi

# Passed and failed test counts over both runs, from ctest's summaries.
count_tests() {
  cat "$logs"/* 2>/dev/null | sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' |
    awk '{f += $1; t += $2} END {printf "%d passed, %d failed\n", t - f, f}'
}

echo
echo "Windows tests under Wine: $windows_summary"
[ -z "$windows_gui_summary" ] || echo "Windows GUI under Wine: $windows_gui_summary"
echo "Linux tests: $linux_summary"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED stages: %s\n' "$(IFS=,; echo "${failed[*]}")"
  echo "Tests: $(count_tests)"
  exit 1
fi
echo "Tests: $(count_tests)"
