#!/usr/bin/env bash
# Installs the Debian packages Quorvel builds and tests with; touches apt only when one is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang clang-format libclang-rt-14-dev
  qt6-base-dev libcups2-dev libgtest-dev libgmock-dev libbenchmark-dev libgeographiclib-dev
  proj-bin geographiclib-tools  # tests only: cct and TransverseMercatorProj
  xvfb xauth x11-utils x11-apps xdotool imagemagick
  fonts-wqy-zenhei fonts-arphic-uming fonts-dejavu-extra
  poppler-utils cups cups-client cups-bsd printer-driver-cups-pdf
)

missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=(env DEBIAN_FRONTEND=noninteractive)
[ "$(id -u)" -eq 0 ] || as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -o DPkg::Lock::Timeout=600
"${as_root[@]}" apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
