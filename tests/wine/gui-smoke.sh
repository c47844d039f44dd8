#!/usr/bin/env bash
# Smoke test of the Windows program under Wine on a virtual X display
# (Xvfb), driven from the keyboard with xdotool:
# - cpack makes the portable ZIP and the installer of the build folder;
# - the ZIP's W_tk7713t.exe answers --version and --help;
# - its main window appears; the connection dialog, given the simulator's
#   loopback address by typing, connects to the Linux simulator, whose log
#   shows the reads; every configuration dialog, both diagnostics windows
#   and About open and close; closing the program saves the typed address
#   beside it;
# - the installer installs silently (/S), the installed program keeps its
#   settings in %APPDATA%, and the uninstaller removes every file it
#   installed and leaves those settings.
# Every window goes to a PNG file in SCREENSHOTS.
#   gui-smoke.sh BUILD_FOLDER [SCREENSHOTS]
# TK_SIM_EXE names the Linux simulator; without it the test is skipped
# (status 77). Only loopback addresses are ever given to the program: its
# settings file names 127.0.0.1 before it starts.
set -uo pipefail
build=$(readlink -f "$1")
shots=${2:-$build/gui-smoke-screenshots}
here=$(cd "$(dirname "$0")" && pwd)
sim=${TK_SIM_EXE:-}
if [ ! -x "$sim" ]; then
  echo "skipped: set TK_SIM_EXE to the Linux simulator"
  exit 77
fi
for tool in Xvfb xdotool import cpack makensis script; do
  command -v "$tool" >/dev/null || {
    echo "FAILED: $tool is missing (scripts/setup.sh installs it)"
    exit 1
  }
done
sim=$(readlink -f "$sim")
mkdir -p "$shots"
shots=$(readlink -f "$shots")
prefix=$build/wine-gui
work=$(mktemp -d)
pids=()
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  for p in "${pids[@]}"; do
    kill "$p" 2>/dev/null
    wait "$p" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
die() {
  echo "FAILED: $*"
  exit 1
}
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# The program draws on the display, whatever the window tests use.
unset QT_QPA_PLATFORM

# --- A display, before any Wine process: Wine's desktop process, which
# every program of the prefix shares, keeps the display it started with.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || die "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(cat "$work/display")
export DISPLAY

# --- Wine prefix of its own. Wine's own Tahoma and Marlett are registered
# as fonts of the system: unregistered, Qt never finds them and draws every
# text in a serif face. Wine draws the window frames (no window manager).
export WINEPREFIX=$prefix WINEDEBUG=-all
# Whatever an earlier run left behind in the prefix saw another display.
wineserver -k 2>/dev/null
"$here/wine-run.sh" "$prefix" cmd /c exit 0 || die "no Wine prefix"
if [ ! -e "$prefix/.tk-gui-ready" ]; then
  fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
  for font in "Tahoma (TrueType)=tahoma.ttf" "Tahoma Bold (TrueType)=tahomabd.ttf" \
    "Marlett (TrueType)=marlett.ttf"; do
    file=/usr/share/wine/fonts/${font#*=}
    [ -f "$file" ] || die "$file is missing (fonts-wine)"
    wine reg add "$fonts" /v "${font%=*}" /d "Z:${file//\//\\}" /f >/dev/null
  done
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  wineserver -w
  touch "$prefix/.tk-gui-ready"
fi

# --- Packages ---------------------------------------------------------------
started=$(now)
cpack -G "ZIP;NSIS" --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1 ||
  die "cpack: $(tail -20 "$work/cpack.log")"
zip=$(ls "$work"/packages/W_tk7713t-*-win64.zip 2>/dev/null)
installer=$(ls "$work"/packages/W_tk7713t-*-win64.exe 2>/dev/null)
[ -f "$zip" ] && [ -f "$installer" ] || die "cpack made no ZIP or installer: $(ls "$work/packages")"
echo "ok: packages in $(seconds_since "$started") s: $(basename "$zip") $(stat -c %s "$zip") bytes," \
  "$(basename "$installer") $(stat -c %s "$installer") bytes"
(cd "$work" && cmake -E tar xf "$zip") || die "the ZIP does not unpack"
portable=$(ls -d "$work"/W_tk7713t-*-win64)
for f in W_tk7713t.exe tk7713t.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll \
  libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
  W_tk7713t_EN.pdf W_tk7713t_CZ.pdf; do
  [ -f "$portable/$f" ] || fail "the ZIP lacks $f"
done

# --- Answers on standard output ---------------------------------------------
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
out=$("$here/wine-run.sh" "$prefix" "$portable/W_tk7713t.exe" --version 2>&1 | tr -d '\r')
[ "$out" = "W_tk7713t $version" ] && echo "ok: --version" || fail "--version said: $out"
out=$("$here/wine-run.sh" "$prefix" "$portable/W_tk7713t.exe" --help 2>&1 | tr -d '\r')
grep -q 'kept in W_tk7713t.ini beside the program' <<<"$out" && grep -qF '%APPDATA%\W_tk7713t\W_tk7713t.ini' <<<"$out" &&
  echo "ok: --help" || fail "--help said: $out"

# Started by a command prompt without standard handles (start /wait), the
# program borrows the prompt's console; script gives Wine's cmd a console.
# Cursor moves and blanks are dropped before comparing.
shown=$(script -qec "$(printf '%q ' "$here/wine-run.sh" "$prefix" cmd /c start /wait /unix \
  "$portable/W_tk7713t.exe" --version)" /dev/null | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d ' \r\n')
[ "$shown" = "W_tk7713t$version" ] && echo "ok: --version in the console of a command prompt" ||
  fail "--version in a console: $shown"

# --- The simulator, on loopback ------------------------------------------------
"$sim" --tftp-port 0 --no-rtu --log >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  grep -q '^ready' "$work/sim.log" && break
  sleep 0.05
done
address=$(sed -nE 's/^tftp: (127\.0\.0\.1:[0-9]+)$/\1/p' "$work/sim.log")
[ -n "$address" ] || die "the simulator did not start: $(cat "$work/sim.log")"
reads() { grep -c " tftp: read $1 from " "$work/sim.log"; }
# Waits (generously) until the simulator logged more reads of FILE than N.
wait_reads() {
  for _ in $(seq 600); do
    [ "$(reads "$1")" -gt "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# --- The keyboard --------------------------------------------------------------
# Prints the id of the visible window titled exactly TITLE once there is one.
wait_window() {
  local id
  for _ in $(seq 600); do
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}
wait_gone() {
  for _ in $(seq 600); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.1
  done
  return 1
}
# Keys to the window ID, after giving it the focus.
keys() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id" 2>/dev/null
  xdotool key --delay 150 "$@"
}
shot() {
  # A moment for the window to paint what it was just told.
  sleep 1
  import -window "$1" +dither -colors 128 "png8:$shots/$2.png" || fail "no screenshot $2"
}

main_title="TK-7713T - converter configuration"
# Starts PROGRAM.exe and waits for its main window; sets program_pid and main.
start_program() {
  local t0
  t0=$(now)
  "$here/wine-run.sh" "$prefix" "$1" >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=("$program_pid")
  main=$(wait_window "$main_title") || die "no main window: $(cat "$work/program.log")"
  echo "ok: main window after $(seconds_since "$t0") s (start-up under Wine)"
}
# Closes the main window and waits for the program to end.
close_program() {
  keys "$main" alt+F4
  for _ in $(seq 600); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$program_pid" 2>/dev/null; then
    fail "the program did not end after its main window was closed"
    kill "$program_pid"
  fi
  wait "$program_pid" 2>/dev/null
}
# Opens command ITEM (1 = first) of menu MENU (0 = first) of the main window
# and waits for the window TITLE.
open_command() {
  local menu=$1 item=$2 title=$3 k=(alt)
  for _ in $(seq "$menu"); do k+=(Right); done
  k+=(Down)
  for _ in $(seq 2 "$item"); do k+=(Down); done
  k+=(Return)
  keys "$main" "${k[@]}"
  window=$(wait_window "$title") || {
    fail "\"$title\" did not open"
    return 1
  }
}
close_window() {
  keys "$window" Escape
  wait_gone "$window" || fail "\"$1\" did not close"
}

# --- The portable program -------------------------------------------------------
# Settings beside the program: LAN, a loopback port where nobody listens;
# the simulator's port is typed into the connection dialog.
printf '[Interface]\r\nInterface=0\r\n[LAN]\r\nIP address=127.0.0.1:1\r\nIP version=0\r\nTimeout=1000\r\n' \
  >"$portable/W_tk7713t.ini"
start_program "$portable/W_tk7713t.exe"
shot "$main" main

info_before=$(reads info.txt)
if open_command 0 1 "Converter connect"; then
  keys "$window" Tab ctrl+a
  xdotool type --delay 60 "$address"
  keys "$window" Return
  if wait_reads info.txt "$info_before"; then
    echo "ok: connected to the simulator at $address"
  else
    fail "the simulator saw no connection"
  fi
  shot "$window" connection-connected
  close_window "Converter connect"
  shot "$main" main-connected
fi

# The Configuration menu in order, with the names of their screenshots.
names=(settings-lan settings-modbus-tcp settings-rtu-master settings-rtu-slave
  settings-rtu-slave-usb restart)
n=0
for title in "LAN parameters" "Modbus TCP server (LAN)" "Modbus RTU master (RS-485)" \
  "Modbus RTU slave (RS-485)" "Modbus RTU slave (USB)" "Converter restart"; do
  n=$((n + 1))
  open_command 1 "$n" "$title" || continue
  shot "$window" "${names[n - 1]}"
  close_window "$title"
  echo "ok: $title"
done

sys_before=$(reads sys.bin)
if open_command 2 1 "Converter information"; then
  wait_reads sys.bin "$sys_before" || fail "Converter information read nothing"
  shot "$window" diag-information
  close_window "Converter information"
  echo "ok: Converter information ($(($(reads sys.bin) - sys_before)) reads of sys.bin)"
fi
mmrd_before=$(reads mmrd.bin)
mmrgv_before=$(reads mmrgv.bin)
if open_command 2 2 "Modbus RTU master interface diagnostics"; then
  wait_reads mmrgv.bin "$mmrgv_before" || fail "Modbus RTU master diagnostics read nothing"
  shot "$window" diag-rtu-master
  close_window "Modbus RTU master interface diagnostics"
  echo "ok: Modbus RTU master diagnostics ($(($(reads mmrd.bin) - mmrd_before)) reads of mmrd.bin," \
    "$(($(reads mmrgv.bin) - mmrgv_before)) of mmrgv.bin)"
fi
if open_command 3 2 "About W_tk7713t"; then
  shot "$window" about
  close_window "About W_tk7713t"
  echo "ok: About"
fi
close_program
# Saved beside the program: the address typed, after the connection.
tr -d '\r' <"$portable/W_tk7713t.ini" | grep -qx "IP address=$address" &&
  echo "ok: the typed address was saved beside the program" ||
  fail "W_tk7713t.ini beside the program: $(cat "$portable/W_tk7713t.ini")"

# --- The installer ----------------------------------------------------------------
programs="$prefix/drive_c/Program Files/W_tk7713t"
# Wine names the Windows user after the Unix one.
roaming="$prefix/drive_c/users/$(id -un)/AppData/Roaming"
user_ini="$roaming/W_tk7713t/W_tk7713t.ini"
rm -rf "$programs" "$roaming/W_tk7713t"
"$here/wine-run.sh" "$prefix" "$installer" /S >"$work/install.log" 2>&1 || fail "the installer failed"
wineserver -w
installed_files=$(cd "$programs" 2>/dev/null && find . -type f | sort)
for f in W_tk7713t.exe tk7713t.exe Qt6Core.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
  W_tk7713t_EN.pdf W_tk7713t_CZ.pdf Uninstall.exe; do
  grep -qx "./$f" <<<"$installed_files" || fail "the installer did not install $f"
done
start_menu=$(find "$prefix/drive_c" -path '*/Start Menu/Programs/W_tk7713t/*.lnk' -printf '%f\n' | sort)
grep -qx 'W_tk7713t.lnk' <<<"$start_menu" && echo "ok: installed; Start menu:" $start_menu ||
  fail "no Start menu entry for the program: $start_menu"
out=$("$here/wine-run.sh" "$prefix" "$programs/W_tk7713t.exe" --help 2>&1 | tr -d '\r')
grep -qF 'kept per user in' <<<"$out" && grep -qF '%APPDATA%\W_tk7713t\W_tk7713t.ini' <<<"$out" &&
  echo "ok: the installed program's --help names %APPDATA%" || fail "installed --help said: $out"

# The installed program reads and writes %APPDATA%: a settings file there
# with a COM address of its own and without the other keys comes back with
# that address and every key.
mkdir -p "$(dirname "$user_ini")"
printf '[Interface]\r\nInterface=0\r\n[LAN]\r\nIP address=%s\r\n[COM]\r\nAddress=123\r\n' "$address" >"$user_ini"
start_program "$programs/W_tk7713t.exe"
close_program
user_settings=$(tr -d '\r' <"$user_ini")
if grep -qx 'Address=123' <<<"$user_settings" && grep -qx 'Baud=4' <<<"$user_settings" &&
  [ ! -e "$programs/W_tk7713t.ini" ]; then
  echo "ok: the installed program keeps its settings in %APPDATA%"
else
  fail "settings of the installed program: $user_settings"
fi

"$here/wine-run.sh" "$prefix" "$programs/Uninstall.exe" /S >"$work/uninstall.log" 2>&1 || fail "the uninstaller failed"
# The uninstaller goes on from a copy of itself; the prefix is idle when it is done.
wineserver -w
left=$(cd "$programs" 2>/dev/null && find . -type f)
[ -z "$left" ] && echo "ok: uninstalled" || fail "the uninstaller left: $left"
[ -z "$(find "$prefix/drive_c" -path '*/Start Menu/Programs/W_tk7713t*')" ] || fail "the Start menu folder is left"
[ -f "$user_ini" ] && echo "ok: the user's settings stay" || fail "the uninstaller removed the user's settings"

echo "screenshots: $shots"
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
