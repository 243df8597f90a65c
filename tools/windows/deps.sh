#!/usr/bin/env bash
# Installs what cross-building for Windows and running under Wine needs on
# Debian 12, when missing: MinGW-w64 (posix threads), Wine, NSIS, and the host
# Qt whose tools (moc, rcc, uic) the Windows Qt build reuses.
set -euo pipefail
PACKAGES=(cmake ninja-build make g++ pkg-config dpkg-dev zip
          g++-mingw-w64-x86-64-posix wine wine64 nsis
          qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
          googletest libeigen3-dev xvfb xauth xdotool imagemagick librsvg2-bin fonts-wqy-microhei)
[ "${1:-}" = "--no-qt" ] && PACKAGES=(cmake ninja-build make g++ g++-mingw-w64-x86-64-posix wine wine64 googletest
                                     libeigen3-dev)

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
