#!/usr/bin/env bash
# Installs what building and testing the panel needs on Debian 12, when missing.
set -euo pipefail
PACKAGES=(cmake g++ make pkg-config
          qt6-base-dev qt6-serialport-dev libgl1-mesa-dev
          libgtest-dev libgmock-dev libeigen3-dev
          clang libclang-rt-14-dev
          fonts-wqy-microhei
          ser2net)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
