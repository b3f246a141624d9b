#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvel needs; touches apt only when one is missing.
#
#   install-deps.sh run       building and running the programs (make run)
#   install-deps.sh package   the above, and building the .deb (make package)
#   install-deps.sh test      all of the above, and the tests, the sanitizer build and the
#                             fuzzers (make test, CI); also generates the zh_CN.UTF-8 locale
#                             the tests run quorvel-batch under
#   install-deps.sh windows   cross-building for Windows, its packages and their tests under Wine
#                             (make windows, make test-windows); then builds the Windows
#                             libraries from Debian's sources into QUORVEL_WIN_CACHE (default
#                             ~/.cache/quorvel-win) with scripts/windows/build-deps.sh
#
# As root, missing packages are installed without questions. Otherwise the script stops and
# lists them, with the command to install them.
set -euo pipefail

# The compiler, CMake, Qt, the fonts the window and the report are drawn with, the libraries
# the programs link (Eigen, header-only, only to build them; GDAL, which writes the drawings and
# GIS layers; FreeXL, which reads .xls workbooks), msgfmt, which compiles the Chinese messages,
# and Qt's own Chinese for its dialogs.
run=(
  build-essential cmake pkg-config qt6-base-dev gettext qt6-translations-l10n
  fonts-wqy-zenhei fonts-arphic-uming fonts-dejavu-extra
  libcups2-dev libgeographiclib-dev libeigen3-dev libgdal-dev libfreexl-dev
)
# cpack's DEB generator: dpkg-shlibdeps for the dependencies, file to find the programs.
package=(dpkg-dev file)
# Tests only. Never printer-driver-cups-pdf: it adds a PDF queue and may make it the default
# printer, so a user's 打 印 would no longer take the no-printer path.
test=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth x11-utils x11-apps xdotool imagemagick
  poppler-utils cups cups-client cups-bsd
  proj-bin gdal-bin geographiclib-tools python3-numpy
  desktop-file-utils appstream lintian bash-completion man-db groff-base locales
)
# Windows: MinGW-w64 (posix threads), the host's Qt tools and Qt's Chinese, the tools that fetch
# and build Debian's sources of GeographicLib, libintl and Qt, the icon's converter, NSIS and zip
# for the packages, and Wine (64-bit) with Xvfb to run them.
windows=(
  build-essential cmake ninja-build pkg-config gettext libeigen3-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  dpkg-dev patch debian-archive-keyring imagemagick nsis zip unzip python3
  wine wine64 xvfb xauth xdotool
)

case "${1:-}" in
  run) packages=("${run[@]}") ;;
  package) packages=("${run[@]}" "${package[@]}") ;;
  test) packages=("${run[@]}" "${package[@]}" "${test[@]}") ;;
  windows) packages=("${windows[@]}") ;;
  *)
    echo "usage: $0 run|package|test|windows" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    {
      echo "Quorvel needs these Debian packages, which are not installed:"
      echo "  ${missing[*]}"
      echo "Install them as root, then run make again:"
      echo "  apt-get install --no-install-recommends ${missing[*]}"
    } >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -o DPkg::Lock::Timeout=600
  apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

# The tests run quorvel-batch in Chinese: glibc knows zh_CN.UTF-8 only once it is generated.
if [ "$1" = test ] && ! locale -a 2>/dev/null | grep -qx 'zh_CN\.utf8'; then
  if [ "$(id -u)" -ne 0 ]; then
    {
      echo "The tests need the zh_CN.UTF-8 locale. As root:"
      echo "  echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen && locale-gen"
    } >&2
    exit 1
  fi
  grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen
fi

# What Debian has no Windows build of, built once from its source packages.
if [ "$1" = windows ]; then
  bash "$(dirname "$0")/windows/build-deps.sh" \
    "${QUORVEL_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvel-win}"
fi
