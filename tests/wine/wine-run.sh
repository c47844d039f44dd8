#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of the build folder's own
# (never ~/.wine). The prefix is made once, on first use; CTest runs several
# of these at a time, so making it is guarded by a lock.
#   wine-run.sh PREFIX PROGRAM.exe ARGS...
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installers: the programs under test need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -e "$prefix/.tk-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.tk-ready" ]; then
    wineboot --init >/dev/null 2>&1
    wineserver --wait
    touch "$prefix/.tk-ready"
  fi
  exec 9>&-
fi
exec wine "$@"
