#!/usr/bin/env bash
# The demo: installs what is missing, builds, starts the converter simulator
# on loopback and opens the program ready to connect to it (press
# Connection > Converter connect > Connect). Closing the program stops the
# simulator. The simulator's master line carries a light, steady load (five
# requests a second to its built-in slaves 1 and 2), so the diagnostics
# windows show figures of real traffic; its Modbus TCP server takes more.
#
# The program keeps its settings file beside its executable, so the demo
# runs a copy of it from a folder of its own (build/dev/demo) with a
# settings file of its own: a W_tk7713t.ini the user already has elsewhere
# is never read or written.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# Told before the build, which the first time takes several minutes.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No desktop display found (DISPLAY or WAYLAND_DISPLAY): the program needs one." >&2
  echo "Without a screen, give it a virtual one: xvfb-run -a scripts/run.sh (package xvfb)." >&2
  exit 1
fi

bash scripts/setup.sh
cmake --preset dev >/dev/null
# The manuals too (a few seconds: the windows are rendered offscreen), so
# that Help in the demo opens one.
echo "Building the program, the simulator and the manuals in build/dev" \
  "(the first build takes several minutes; later ones only what changed) ..."
cmake --build --preset dev --target W_tk7713t tk7713t-sim tk7713t-manuals

demo="$root/build/dev/demo"
bash scripts/demo-folder.sh "$root/build/dev" "$demo"

log="$demo/simulator.log"
"$root/build/dev/tools/sim/tk7713t-sim" --tftp-address 127.0.0.1 --tftp-port 0 \
  --link "$demo/ttyTK7713T" --mbtcp 127.0.0.1:0 --line-slaves 1,2 --line-traffic 5 \
  >"$log" 2>&1 &
sim_pid=$!
stop_simulator() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_simulator EXIT

for _ in $(seq 100); do
  grep -q '^ready' "$log" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$log" >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready' "$log" || { echo "the simulator did not start" >&2; cat "$log" >&2; exit 1; }
tftp="$(sed -n 's/^tftp: //p' "$log")"
mbtcp="$(sed -n 's/^mbtcp: //p' "$log")"

# LAN is chosen with the simulator's address; COM port 5 leads to the
# simulator's pseudo-terminal, for trying the serial interface.
cat >"$demo/W_tk7713t.ini" <<INI
[Interface]
Interface=0
[LAN]
IP address=$tftp
IP version=0
Timeout=1000
[COM]
COM port=5
Baud=4
Parity=1
Timeout=330
Address=247
[USB COM]
COM port=6
Baud=8
Parity=1
Timeout=330
Address=255
[Serial ports]
COM5=$demo/ttyTK7713T
INI

echo "Simulated converter: TFTP $tftp, COM port 5 = $demo/ttyTK7713T (address 247)"
echo "Modbus TCP $mbtcp to slaves 1 and 2 on the master line, e.g.:"
echo "  mbpoll -m tcp -p ${mbtcp##*:} -a 1 -r 1 -c 10 -1 127.0.0.1"
echo "  build/dev/tools/cli/tk7713t --lan $tftp --mbtcp-port ${mbtcp##*:} modbus read holding 0 10 --unit 1"
echo "Diagnostics > Modbus gateway test reaches it with Modbus TCP port ${mbtcp##*:}."
# Arguments go to the program: scripts/run.sh --lang cs gives Czech windows.
"$demo/W_tk7713t" "$@"
