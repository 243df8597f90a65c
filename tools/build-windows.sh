#!/usr/bin/env bash
# Builds the panel for Windows on a Debian 12 machine and checks it here:
#  1. installs what it needs (MinGW-w64, Wine, NSIS, ...);
#  2. builds Qt for Windows from Debian's qt6-base source, once, into
#     KP_WINDOWS_CACHE (default ~/.cache/karaoke-panel-windows), which later
#     runs reuse (the first build takes about forty minutes on two cores);
#  3. builds karaoke-panel.exe, karaoke-ctl.exe, karaoke-ini.exe and every test suite;
#  4. packs dist/karaoke-panel-setup-VERSION.exe (NSIS) and
#     dist/karaoke-panel-VERSION-portable.zip;
#  5. runs the test suites under Wine, installs the installer silently into a
#     fresh Wine prefix and starts the installed panel under Xvfb against the
#     virtual unit on COM1; it must link, and a screenshot of it goes to
#     docs/windows-panel-linked.png.
# SKIP_SMOKE=1 leaves out step 5's installation and smoke test.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD:-build-windows}
DIST=$ROOT/dist

tools/windows/deps.sh
QT=$(tools/windows/build-qt.sh | tail -n 1)
export KP_QT_WINDOWS_PREFIX=$QT
VERSION=$(sed -n 's/^project(karaoke_panel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

echo "== building for Windows against $QT"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$QT" -DQT_HOST_PATH=/usr \
      -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
cmake --build "$BUILD" -j"$(nproc)"

echo "== staging what the installer ships"
STAGE=$ROOT/$BUILD/stage
rm -rf "$STAGE"
cmake --install "$BUILD" --prefix "$STAGE" >/dev/null
BIN=$STAGE/bin
MINGW_RT=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix/libstdc++-6.dll
          /usr/lib/gcc/x86_64-w64-mingw32/*-posix/libgcc_s_seh-1.dll
          /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
cp "${MINGW_RT[@]}" "$BIN/"
# Only the Qt the panel and karaoke-ctl load: four libraries (Network for
# serial device servers; plain TCP needs no plugin), the Windows platform
# plugin, and the JPEG reader for the key control's pictures.
cp "$QT"/bin/Qt6Core.dll "$QT"/bin/Qt6Gui.dll "$QT"/bin/Qt6Widgets.dll "$QT"/bin/Qt6Network.dll "$BIN/"
mkdir -p "$BIN/platforms" "$BIN/imageformats"
cp "$QT"/plugins/platforms/qwindows.dll "$BIN/platforms/"
cp "$QT"/plugins/imageformats/qjpeg.dll "$BIN/imageformats/"
x86_64-w64-mingw32-strip --strip-unneeded "$BIN"/*.exe "$BIN"/*.dll "$BIN"/*/*.dll

echo "== packing"
mkdir -p "$DIST"
lists=$ROOT/$BUILD/nsis
mkdir -p "$lists"
(
  cd "$STAGE"
  # Installed files, folder by folder; removed in reverse, folders last.
  find . -type d | sort | while read -r d; do
    rel=${d#./}
    win=${rel//\//\\}
    [ "$rel" = "." ] && printf 'SetOutPath "$INSTDIR"\n' || printf 'SetOutPath "$INSTDIR\\%s"\n' "$win"
    find "$d" -maxdepth 1 -type f | sort | while read -r f; do
      printf 'File "%s"\n' "$STAGE/${f#./}"
    done
  done > "$lists/files.nsh"
  find . -type f | sort | while read -r f; do
    rel=${f#./}
    printf 'Delete "$INSTDIR\\%s"\n' "${rel//\//\\}"
  done > "$lists/unfiles.nsh"
  find . -mindepth 1 -type d | sort -r | while read -r d; do
    rel=${d#./}
    printf 'RMDir "$INSTDIR\\%s"\n' "${rel//\//\\}"
  done >> "$lists/unfiles.nsh"
)
SETUP=$DIST/karaoke-panel-setup-$VERSION.exe
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DOUTFILE="$SETUP" \
         -DFILES="$lists/files.nsh" -DUNFILES="$lists/unfiles.nsh" \
         packaging/windows/karaoke-panel.nsi
# Portable: everything in one folder, config.ini beside the program.
PORTABLE=$ROOT/$BUILD/karaoke-panel-$VERSION
rm -rf "$PORTABLE"
cp -r "$BIN" "$PORTABLE"
cp -r "$STAGE"/share/karaoke-panel/. "$PORTABLE/"
rm -f "$DIST/karaoke-panel-$VERSION-portable.zip"
(cd "$(dirname "$PORTABLE")" && zip -qr "$DIST/karaoke-panel-$VERSION-portable.zip" "$(basename "$PORTABLE")")
ls -l "$SETUP" "$DIST/karaoke-panel-$VERSION-portable.zip"

echo "== test suites under Wine"
# Wine's window system needs a display even for Qt's offscreen platform.
DISPLAY_NO=$(( 90 + RANDOM % 100 ))
Xvfb ":$DISPLAY_NO" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
export DISPLAY=":$DISPLAY_NO"
prefix=$(tools/windows/wine-prefix.sh "$ROOT/$BUILD/wine-tests")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
winpath() { winepath -w "$1" 2>/dev/null; }
export WINEPATH="$(winpath "$QT/bin");$(winpath "$(dirname "${MINGW_RT[0]}")");$(winpath /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH=$(winpath "$QT/plugins") QT_QPA_PLATFORM=offscreen
failed=()
for suite in "$BUILD"/tests/kp_tests_*.exe; do
  name=$(basename "$suite" .exe)
  if timeout 1800 wine "$suite" --gtest_brief=1 > "$BUILD/tests/$name.log" 2>&1; then
    echo "   $name: $(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$BUILD/tests/$name.log" | head -1), passed"
  else
    echo "   $name: FAILED (log: $BUILD/tests/$name.log)"
    grep -E -A12 '^\[  FAILED  \]|Failure$' "$BUILD/tests/$name.log" | head -40 || true
    failed+=("$name")
  fi
done
wineserver -k 2>/dev/null || true
kill $XVFB_PID 2>/dev/null || true
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM DISPLAY
[ ${#failed[@]} -eq 0 ] || { echo "failed under Wine: ${failed[*]}"; exit 1; }

[ "${SKIP_SMOKE:-}" = 1 ] && exit 0
tools/windows/smoke-test.sh "$SETUP"
