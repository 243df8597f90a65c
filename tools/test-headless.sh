#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300

# The same suites again with AddressSanitizer and UndefinedBehaviorSanitizer:
# a memory error, a leak or undefined behaviour fails the test that reaches it.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKP_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
# Fontconfig keeps its caches to the end of the process; nothing of ours.
printf 'leak:libfontconfig.so\n' > build-asan/lsan.supp
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$PWD/build-asan/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600

# The toolkit-free suites again, cross-built for Windows and run under Wine.
tools/windows/test-toolkit-free.sh

# The fuzz targets, FUZZ_SECONDS (60) each.
tools/fuzz.sh
