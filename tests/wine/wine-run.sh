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
    wineboot --init </dev/null >/dev/null 2>&1 9>&-
    wineserver --wait
    touch "$prefix/.tk-ready"
  fi
  exec 9>&-
fi
# The server and Wine's own background processes outlive the program by a
# few seconds. Started by a first call with its output to a log, they
# neither print into nor hold open the output of the program under test;
# when they already run, that call costs a tenth of a second. (They must
# not inherit the lock.)
exec 9>"$prefix.lock"
flock 9
wine cmd /c exit 0 </dev/null >>"$prefix.server.log" 2>&1 9>&- || true
exec 9>&-
exec wine "$@"
