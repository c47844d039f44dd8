#!/usr/bin/env bash
# Installs, with apt, every Debian package the build, the tests and the
# demo need; only what is missing, so running it again costs nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev libgl-dev libxkbcommon-dev
  g++-mingw-w64-x86-64-posix wine wine64 socat
  nsis xvfb xdotool imagemagick fonts-wine
  tftpd-hpa tftp-hpa curl libmodbus-dev mbpoll python3-pymodbus
  # pymodbus's serial slave needs these; the package only recommends them.
  python3-serial-asyncio python3-serial
  nlohmann-json3-dev
  clang libclang-rt-dev clang-format
  xdg-utils
  help2man poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
  echo "Installing: ${missing[*]}"
  # Installed daemons (tftpd-hpa) must not be started: tests run their own
  # instances on loopback ports.
  policy=/usr/sbin/policy-rc.d
  added_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo_cmd tee "$policy" >/dev/null
    $sudo_cmd chmod +x "$policy"
    added_policy=1
  fi
  trap '[ "$added_policy" = 1 ] && $sudo_cmd rm -f "$policy"' EXIT
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
