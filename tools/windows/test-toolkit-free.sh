#!/usr/bin/env bash
# Cross-builds the toolkit-free libraries, karaoke-ini and their test suites
# for Windows with MinGW-w64 and runs every suite under Wine. Needs no Qt.
#   BUILD (default build-win-core) is the build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/windows/deps.sh --no-qt
BUILD=${BUILD:-build-win-core}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKP_BUILD_UI=OFF -DKP_STATIC_RUNTIME=ON
cmake --build "$BUILD" -j"$(nproc)"

prefix=$(tools/windows/wine-prefix.sh "$PWD/$BUILD/wine")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
failed=()
for suite in "$BUILD"/tests/kp_tests_*.exe; do
  name=$(basename "$suite" .exe)
  log="$BUILD/tests/$name.log"
  start=$(date +%s)
  if timeout 1200 wine "$suite" --gtest_brief=1 > "$log" 2>&1; then
    echo "   $name (Wine): $(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$log" | head -1), passed in $(( $(date +%s) - start ))s"
  else
    echo "   $name (Wine): FAILED; log in $log"
    grep -E -B2 -A12 '^\[  FAILED  \]|Failure$' "$log" | head -60 || true
    failed+=("$name")
  fi
done
wineserver -k 2>/dev/null || true
if [ ${#failed[@]} -gt 0 ]; then
  echo "under Wine, failed: ${failed[*]}"
  exit 1
fi
echo "every toolkit-free suite passed under Wine"
