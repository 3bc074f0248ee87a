#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, only when one is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-svg-dev libgl-dev libxcb1-dev
  libzmq3-dev libboost-dev libboost-thread-dev libboost-date-time-dev
  libsqlite3-dev libicu-dev libpugixml-dev libzip-dev zlib1g-dev
  libexpat1-dev libxlsxwriter-dev libreoffice-calc-nogui python3-openpyxl python3-xlrd
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-wqy-microhei tzdata
  dpkg-dev lintian librsvg2-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
