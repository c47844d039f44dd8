#!/usr/bin/env bash
# Runs a Windows test under Wine with a serial line to play the device on:
# two pseudo-terminals joined by socat, COM2..COM9 leading to one end (the
# program's port) and COM10 to the other (the test's end).
#   with-com-pair.sh PREFIX PROGRAM.exe ARGS...
set -euo pipefail
prefix=$1
shift
here=$(dirname "$0")
"$here/wine-run.sh" "$prefix" cmd /c exit 0  # makes the prefix if needed
links=$(mktemp -d)
socat pty,raw,echo=0,link="$links/program" pty,raw,echo=0,link="$links/peer" &
socat_pid=$!
cleanup() {
  kill "$socat_pid" 2>/dev/null || true
  wait "$socat_pid" 2>/dev/null || true
  rm -rf "$links"
  for n in 2 3 4 5 6 7 8 9 10; do rm -f "$prefix/dosdevices/com$n"; done
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e "$links/program" ] && [ -e "$links/peer" ] && break
  sleep 0.05
done
for n in 2 3 4 5 6 7 8 9; do ln -sfn "$(readlink -f "$links/program")" "$prefix/dosdevices/com$n"; done
ln -sfn "$(readlink -f "$links/peer")" "$prefix/dosdevices/com10"
export TK_WINE_COM_PAIR=2-9:10
"$here/wine-run.sh" "$prefix" "$@"
