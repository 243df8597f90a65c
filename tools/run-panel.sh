#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target karaoke-panel karaoke-ctl karaoke-unit-sim karaoke-ini kp_resources
exec build/bin/karaoke-panel "$@"
