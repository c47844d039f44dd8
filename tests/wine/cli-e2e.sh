#!/usr/bin/env bash
# End-to-end check of the Windows tk7713t under Wine against the Linux
# simulator on loopback: LAN over IPv4 and [::1], and COM 11, which the
# Wine prefix maps to the simulator's pseudo-terminal. Where the Linux
# tk7713t gives the same answer, both outputs must match byte for byte.
#   cli-e2e.sh PREFIX TK7713T.EXE
# TK_SIM_EXE and TK_CLI_LINUX name the Linux simulator and tool; without
# them the check is skipped (status 77).
set -uo pipefail
prefix=$1
exe=$(readlink -f "$2")
sim=${TK_SIM_EXE:-}
linux_cli=${TK_CLI_LINUX:-}
if [ ! -x "$sim" ] || [ ! -x "$linux_cli" ]; then
  echo "skipped: set TK_SIM_EXE and TK_CLI_LINUX to the Linux simulator and tk7713t"
  exit 77
fi
sim=$(readlink -f "$sim")
linux_cli=$(readlink -f "$linux_cli")
here=$(cd "$(dirname "$0")" && pwd)
com=11
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -f "$prefix/dosdevices/com$com"
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
"$here/wine-run.sh" "$prefix" cmd /c exit 0  # makes the prefix if needed

start_sim() {  # NAME ARGS...: starts a simulator, waits for "ready"
  local name=$1
  shift
  "$sim" "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    grep -q '^ready' "$work/$name.out" && return 0
    sleep 0.05
  done
  echo "simulator $name did not start:"
  cat "$work/$name.out"
  exit 1
}
start_sim v4 --tftp-port 0 --link "$work/rtu" --no-mbtcp
start_sim v6 --tftp-port 0 --tftp-address ::1 --no-rtu --no-mbtcp
lan4=$(sed -n 's/^tftp: //p' "$work/v4.out")
lan6=$(sed -n 's/^tftp: //p' "$work/v6.out")
ln -sfn "$(readlink -f "$work/rtu")" "$prefix/dosdevices/com$com"

failures=0
win() {  # NAME ARGS...: runs the Windows tool into NAME.{out,err,status}
  local name=$1
  shift
  LC_ALL=C.UTF-8 "$here/wine-run.sh" "$prefix" "$exe" "$@" >"$name.out" 2>"$name.err"
  echo $? >"$name.status"
}
lin() {  # NAME ARGS...: the same with the Linux tool
  local name=$1
  shift
  "$linux_cli" "$@" >"$name.out" 2>"$name.err"
  echo $? >"$name.status"
}
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
expect_status() {  # NAME STATUS
  local got
  got=$(cat "$1.status")
  if [ "$got" != "$2" ]; then
    fail "$1: status $got, expected $2"
    sed 's/^/  out: /' "$1.out"
    sed 's/^/  err: /' "$1.err"
    return 1
  fi
  echo "ok: $1 (status $2)"
}
expect_same() {  # WINNAME LINUXNAME: same status, output and messages
  expect_status "$1" "$(cat "$2.status")" || return
  cmp -s "$1.out" "$2.out" || fail "$1: output differs from the Linux tool's: $(diff "$1.out" "$2.out" | head -5)"
  cmp -s "$1.err" "$2.err" || fail "$1: messages differ from the Linux tool's: $(diff "$1.err" "$2.err" | head -5)"
}

# Identification over each link.
win id4 --lan "$lan4" identify
lin id4.l --lan "$lan4" identify
expect_same id4 id4.l
win id6 --lan "$lan6" --ipv6 identify
lin id6.l --lan "$lan6" --ipv6 identify
expect_same id6 id6.l
win idcom --com $com identify
lin idcom.l --device "$work/rtu" identify
expect_same idcom idcom.l
# Czech text reaches a pipe as UTF-8 bytes.
win idcs --lang cs --com $com identify
lin idcs.l --lang cs --device "$work/rtu" identify
expect_same idcs idcs.l

# The same in a console: a pseudo-terminal makes Wine give the program one.
# Cursor moves and blanks are dropped before comparing.
shown=$(LC_ALL=C.UTF-8 script -qec "$(printf '%q ' "$here/wine-run.sh" "$prefix" "$exe" --lang cs --com $com identify)" /dev/null |
  sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d ' \r\n')
if [ "$shown" = "$(tr -d ' \r\n' <idcs.l.out)" ]; then
  echo "ok: Czech text in a console"
else
  fail "console: shown $shown"
fi

win info --com $com info
expect_status info 0 && [ "$(wc -l <info.out)" -ge 5 ] || fail "info: too few rows"
win info6 --lan "$lan6" --ipv6 --json info
expect_status info6 0 && grep -q '"VyrCislo"' info6.out || fail "info6: no VyrCislo field"

# Settings written and verified over the LAN, read back over COM.
win set --lan "$lan4" set uartm KodBaud=8 Timeout=500
expect_status set 0
win get --com $com get uartm
lin get.l --device "$work/rtu" get uartm
expect_same get get.l
grep -qx 'Timeout=500' get.out || fail "get: Timeout=500 not read back"

# Backup to a name outside ASCII over the LAN, restore it over COM.
name=$'z\xc3\xa1loha.json'
win backup --lan "$lan4" backup "$name"
lin backup.l --lan "$lan4" backup -
expect_status backup 0
[ -f "$work/$name" ] || fail "backup: $name not written"
cmp -s "$work/$name" backup.l.out || fail "backup: file differs from the Linux tool's backup"
win restore --lang cs --com $com restore "$name"
lin restore.l --lang cs --device "$work/rtu" restore "$name"
expect_same restore restore.l

# The program itself in a folder named outside ASCII.
folder=$'slo\xc5\xbeka'
mkdir "$work/$folder"
cp "$exe" "$work/$folder/tk7713t.exe"
exe_saved=$exe
exe="$work/$folder/tk7713t.exe"
win idfolder --lan "$lan4" identify
exe=$exe_saved
expect_same idfolder id4.l

# Files that cannot be read or written: a message and status 2, never a crash.
win nofile --lan "$lan4" restore $'chyb\xc3\xad.json'
lin nofile.l --lan "$lan4" restore $'chyb\xc3\xad.json'
expect_same nofile nofile.l
win nofolder --lan "$lan4" backup $'nen\xc3\xad/z.json'
lin nofolder.l --lan "$lan4" backup $'nen\xc3\xad/z.json'
expect_same nofolder nofolder.l

# Timeouts: a LAN port that never answers; no converter at address 5 on the line.
# A loopback UDP port that takes requests and never answers.
for _ in $(seq 20); do
  port=$((40000 + RANDOM % 20000))
  socat -u UDP4-RECV:$port,bind=127.0.0.1 /dev/null 2>/dev/null &
  quiet_pid=$!
  sleep 0.2
  kill -0 $quiet_pid 2>/dev/null && break
done
pids+=($quiet_pid)
quiet="127.0.0.1:$port"
win lantimeout --lan "$quiet" --lan-timeout 300 identify
lin lantimeout.l --lan "$quiet" --lan-timeout 300 identify
expect_same lantimeout lantimeout.l
start=$(date +%s%N)
win comtimeout --com $com --address 5 --timeout 300 identify
elapsed=$((($(date +%s%N) - start) / 1000000))
expect_status comtimeout 1 && [ -s comtimeout.err ] || fail "comtimeout: no message"
echo "COM timeout answered after $elapsed ms (Wine start included)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
