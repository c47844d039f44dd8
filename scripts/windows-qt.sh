#!/usr/bin/env bash
# Builds a shared Qt 6 (Core, Gui, Widgets, Test and the Windows plugins) for
# mingw-w64 from Debian's qt6-base source package, with Debian's own Qt tools
# as host tools, so the program's windows can be cross-built for Windows.
#
# The result is a cache: a stamp in the prefix records the Qt version and the
# configure options, and a second run with the same ones ends at once.
#
#   TK_QT_MINGW   install prefix (default ~/.cache/w-tk7713t/qt-<version>-mingw;
#                 `windows-qt.sh --prefix` prints it)
#   TK_QT_JOBS    parallel compile jobs (default: nproc)
#
# Shared libraries, not static: the Qt DLLs stay replaceable (LGPL).
set -euo pipefail

cache_root="$HOME/.cache/w-tk7713t"
started=$SECONDS
stage_no=0
stage() {
  stage_no=$((stage_no + 1))
  printf '\n== [%d] %s (%s, %dm%02ds in)\n' "$stage_no" "$1" "$(date +%H:%M:%S)" \
    $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60))
}
die() {
  echo "windows-qt: $*" >&2
  exit 1
}

# --prefix: prints where the Qt is (or goes) and ends; the test command and
# scripts/windows-package.sh look for it there.
if [ "${1:-}" = "--prefix" ]; then
  deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) || die "qt6-base-dev is not installed"
  echo "${TK_QT_MINGW:-$cache_root/qt-${deb_version%%[+-]*}-mingw}"
  exit 0
fi

# --- Packages ---------------------------------------------------------------
# Host tools and the cross compiler. qt6-base-dev(-tools) provide moc, rcc,
# uic and the CMake host information of the same Qt version; scripts/setup.sh
# installs all of them already.
packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  qt6-base-dev qt6-base-dev-tools
  cmake ninja-build dpkg-dev xz-utils perl apt
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  stage "Installing ${missing[*]}"
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || die "missing packages: ${missing[*]} (run scripts/setup.sh as root)"
    sudo_cmd="sudo"
  fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The target Qt must be the very version of the host tools.
deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${deb_version%%[+-]*}
prefix="${TK_QT_MINGW:-$cache_root/qt-$qt_version-mingw}"
work="$cache_root/qt-$qt_version-mingw-build"
host_cmake_dir=$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/cmake/Qt6HostInfo/Qt6HostInfoConfig.cmake$')")
host_cmake_dir=$(dirname "$host_cmake_dir")
[ -f "$host_cmake_dir/Qt6CoreTools/Qt6CoreToolsConfig.cmake" ] ||
  die "no host Qt tools under $host_cmake_dir (qt6-base-dev-tools)"
target=x86_64-w64-mingw32
cc="$target-gcc-posix"
cxx="$target-g++-posix"
command -v "$cxx" >/dev/null || die "$cxx not found (g++-mingw-w64-x86-64-posix)"

# --- Configure options: everything here goes into the stamp -----------------
options=(
  -G Ninja
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_HOST_PATH=/usr
  "-DQT_HOST_PATH_CMAKE_DIR=$host_cmake_dir"
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  # Only Core, Gui, Widgets and Test; software rendering. INPUT_opengl, as
  # configure's -no-opengl sets it: FEATURE_opengl=OFF alone leaves dynamic
  # OpenGL on for Windows.
  -DINPUT_opengl=no
  -DFEATURE_vulkan=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_printsupport=OFF
  # Debian's source drops src/3rdparty/wintab (wintab.h), which the tablet
  # support of the windows plugin includes.
  -DFEATURE_tabletevent=OFF
  # No mingw builds of these in Debian: the bundled copies, never the host's.
  -DFEATURE_pkg_config=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_zstd=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_libb2=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_textmarkdownreader=OFF
  # direct2d and directwrite keep Qt's defaults: turning direct2d off alone
  # leaves the windows plugin without its DirectWrite font database.
)
toolchain_text="set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $target-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$target)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
"
# $(...) drops trailing newlines, as does reading the stamp back.
stamp_text=$(printf '%s' "qt-base $deb_version
compiler $("$cxx" -dumpfullversion) ($cxx)
$(printf '%s\n' "${options[@]}")
toolchain:
$toolchain_text")
stamp="$prefix/.w-tk7713t-qt-stamp"

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ]; then
  echo "Qt $qt_version for mingw-w64 in $prefix is current (same version and options)."
  exit 0
fi
# Only ever wipe a prefix this script made.
if [ -e "$prefix" ] && [ ! -f "$stamp" ] && [ -n "$(ls -A "$prefix")" ]; then
  die "$prefix exists and is not a Qt this script built; remove it or set TK_QT_MINGW"
fi
echo "Building Qt $qt_version (Debian $deb_version) for $target into $prefix"
echo "Work folder: $work"

# --- Source through a private apt set-up -------------------------------------
# Own sources list, lists and cache: the machine's apt is neither read for
# sources nor changed, and no root is needed.
stage "Fetching the qt6-base source (private apt set-up)"
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$work/src"
machine_sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$machine_sources" ]; then
  # Same mirrors and suites as the machine, as source stanzas.
  sed -E 's/^Types:.*/Types: deb-src/' "$machine_sources" >"$apt_dir/deb-src.sources"
else
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  cat >"$apt_dir/deb-src.sources" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
fi
apt_opts=(
  -o "Dir::Etc::SourceList=$apt_dir/deb-src.sources"
  -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State=$apt_dir"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "Acquire::Languages=none"
)
# As root, apt would hand downloads to its _apt user, which cannot enter $HOME.
if [ "$(id -u)" -eq 0 ]; then apt_opts+=(-o "APT::Sandbox::User=root"); fi

upstream=${deb_version%-*}
src="$work/src/qt6-base-$upstream"
series_of() { grep -v -E '^[[:space:]]*(#|$)' "$1/debian/patches/series" | awk '{print $1}'; }
patched() {
  [ -f "$src/debian/patches/series" ] && [ -f "$src/.pc/applied-patches" ] &&
    [ "$(series_of "$src")" = "$(cat "$src/.pc/applied-patches")" ]
}
if patched && [ "$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)" = "$deb_version" ]; then
  echo "Source $deb_version already unpacked with every Debian patch applied."
else
  rm -rf "$src"
  apt-get "${apt_opts[@]}" -q update
  (cd "$work/src" && apt-get "${apt_opts[@]}" -q source --only-source "qt6-base=$deb_version")
  # dpkg-source applies the quilt series on unpacking; make sure it did.
  patched || die "Debian's patches are not all applied in $src"
fi
echo "Debian patches applied: $(series_of "$src" | tr '\n' ' ')"

# --- Configure ---------------------------------------------------------------
stage "Configuring"
build="$work/build"
# A build folder made with other options is started afresh; one with the same
# options (an interrupted run) is continued.
if [ -f "$build/.w-tk7713t-options" ] && [ "$(cat "$build/.w-tk7713t-options")" = "$stamp_text" ]; then
  echo "Continuing the build in $build"
else
  rm -rf "$build"
fi
mkdir -p "$build"
printf '%s' "$toolchain_text" >"$work/mingw-w64-posix.cmake"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Qt compiles with precompiled headers; without these ccache passes them by.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
  echo "Compiler cache: ccache"
fi
cmake -S "$src" -B "$build" "${options[@]}" "${launcher[@]}" \
  "-DCMAKE_TOOLCHAIN_FILE=$work/mingw-w64-posix.cmake" \
  "-DCMAKE_INSTALL_PREFIX=$prefix"
printf '%s\n' "$stamp_text" >"$build/.w-tk7713t-options"

# --- Build -------------------------------------------------------------------
jobs="${TK_QT_JOBS:-$(nproc)}"
stage "Building with $jobs jobs"
cmake --build "$build" -- -j "$jobs"

# --- Install -----------------------------------------------------------------
stage "Installing into $prefix"
rm -rf "$prefix"
cmake --install "$build" --strip
# The mingw runtime the DLLs link, so programs run from bin/ (Wine: WINEPATH).
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  file=$("$cxx" -print-file-name="$dll")
  [ -f "$file" ] || die "$dll of the mingw runtime not found"
  cp "$file" "$prefix/bin/"
done

for f in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
  plugins/platforms/qwindows.dll plugins/styles/qwindowsvistastyle.dll \
  lib/cmake/Qt6/Qt6Config.cmake; do
  [ -f "$prefix/$f" ] || die "the install lacks $f"
done
printf '%s\n' "$stamp_text" >"$stamp"

elapsed=$((SECONDS - started))
echo
echo "Qt $qt_version for mingw-w64 installed in $prefix"
printf 'Time: %dh%02dm%02ds, size: %s\n' $((elapsed / 3600)) $((elapsed % 3600 / 60)) $((elapsed % 60)) \
  "$(du -sh "$prefix" | cut -f1)"
echo "Use: -DCMAKE_PREFIX_PATH=$prefix -DQT_HOST_PATH=/usr with cmake/mingw-w64.cmake"
