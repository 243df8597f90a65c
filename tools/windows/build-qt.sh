#!/usr/bin/env bash
# Builds Qt for Windows (x86_64-w64-mingw32) from Debian's own qt6-base source,
# once, into a cache folder outside the build tree that later runs reuse.
# Prints the install prefix on its last line.
#   KP_WINDOWS_CACHE   cache folder (default ~/.cache/karaoke-panel-windows)
#   --check            builds nothing: prints the prefix and succeeds only if
#                      a complete Qt of this configuration is in the cache
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
CACHE=${KP_WINDOWS_CACHE:-$HOME/.cache/karaoke-panel-windows}

# Only what the panel, karaoke-ctl and their tests load: Core, Gui, Widgets,
# Network, Test and the windows platform plugin. OpenGL off needs
# INPUT_opengl=no (FEATURE_opengl alone leaves dynamicgl on); DirectWrite 3
# needs Direct2D; Debian's trimmed source has no wintab for tablet events.
# The network port needs plain TCP only: no TLS back-end, no proxies.
QT_OPTIONS=(
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_pkg_config=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF
  -DFEATURE_directwrite3=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_network=ON -DFEATURE_openssl=OFF -DFEATURE_libproxy=OFF -DFEATURE_gssapi=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_icu=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
)
# The cache is keyed by the configuration and the host Qt's version: a change
# of either builds a fresh Qt beside the old one instead of reusing it.
HOST_QT=$(dpkg-query -W -f='${Version}' qt6-base-dev)
KEY=$(printf '%s\n' "$HOST_QT" "${QT_OPTIONS[@]}" | sha256sum | cut -c1-12)
PREFIX=$CACHE/qt6-mingw-$KEY
if [ "${1:-}" = --check ]; then
  [ -f "$PREFIX/.complete" ] && echo "$PREFIX"
  exit $([ -f "$PREFIX/.complete" ] && echo 0 || echo 1)
fi
if [ -f "$PREFIX/.complete" ]; then
  echo "$PREFIX"
  exit 0
fi
mkdir -p "$CACHE"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# The source package of the Qt the host has, so that its moc, rcc and uic fit.
if ! ls "$CACHE"/src/qt6-base-*/CMakeLists.txt >/dev/null 2>&1; then
  if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    # Debian's own stanza again, for source packages.
    src=/etc/apt/sources.list.d/debian.sources
    awk 'BEGIN{RS="";ORS="\n\n"} /deb\.debian\.org\/debian$|deb\.debian\.org\/debian\n/ {sub(/Types: deb/,"Types: deb-src"); print}' \
      "$src" | $SUDO tee /etc/apt/sources.list.d/kp-deb-src.sources >/dev/null
    $SUDO apt-get update
  fi
  mkdir -p "$CACHE/src"
  (cd "$CACHE/src" && apt-get source "qt6-base=$HOST_QT")
fi
SRC=$(ls -d "$CACHE"/src/qt6-base-*/ | head -n 1)

cat > "$CACHE/mingw-toolchain.cmake" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC

rm -rf "$CACHE/qt-build"
cmake -S "$SRC" -B "$CACHE/qt-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$CACHE/mingw-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  "${QT_OPTIONS[@]}"
cmake --build "$CACHE/qt-build" -j"$(nproc)"
cmake --install "$CACHE/qt-build"
touch "$PREFIX/.complete"
# Later runs need only the installed Qt.
rm -rf "$CACHE/qt-build"
echo "$PREFIX"
