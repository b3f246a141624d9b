#!/usr/bin/env bash
# Builds, for 64-bit Windows, what Debian has no MinGW build of, from Debian 12's own source
# packages: GeographicLib, gettext's libintl and qtbase 6.4.2 (Core, Gui, Widgets, PrintSupport,
# Concurrent, the Windows platform plugin and style). Everything lands in the cache folder,
# outside the clone, and a part already built there is not built again.
#
#   build-deps.sh CACHE
#
# First build on 2 cores: about 30 minutes, nearly all of it Qt. Later builds: seconds.
set -euo pipefail
cache=$(realpath -m "$1")
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
toolchain=$repo/cmake/mingw-w64-x86_64.cmake
prefix=$cache/prefix
jobs=$(nproc)
export QUORVEL_WIN_PREFIX=$prefix
mkdir -p "$prefix" "$cache/build"
log() { printf '%s %s\n' "$(date +%T)" "$*"; }

# Each part records that it finished, so an interrupted build is taken up again, not trusted.
done_mark() { echo "$prefix/.$1-done"; }

if [ ! -e "$(done_mark geographiclib)" ]; then
  log "GeographicLib (about 20 s)"
  src=$(bash "$here/sources.sh" "$cache" geographiclib)
  rm -rf "$cache/build/geographiclib"
  cmake -S "$src" -B "$cache/build/geographiclib" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_DOCUMENTATION=OFF -DEXAMPLEDIR= -DMANDIR= -DDOCDIR= -DBINDIR= -DSBINDIR= \
    -DCMAKE_CXX_FLAGS="-ffp-contract=off" >/dev/null
  cmake --build "$cache/build/geographiclib" -j"$jobs" >/dev/null
  cmake --install "$cache/build/geographiclib" >/dev/null
  touch "$(done_mark geographiclib)"
fi

if [ ! -e "$(done_mark libintl)" ]; then
  log "gettext's libintl (about 1 min)"
  src=$(bash "$here/sources.sh" "$cache" gettext)
  rm -rf "$cache/build/libintl" && mkdir -p "$cache/build/libintl"
  (cd "$cache/build/libintl" &&
    "$src/gettext-runtime/configure" --host=x86_64-w64-mingw32 --prefix="$prefix" \
      --enable-static --disable-shared --disable-java --disable-csharp --disable-libasprintf \
      --disable-nls-tests --without-libiconv-prefix --disable-rpath \
      CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix >/dev/null &&
    make -C intl -j"$jobs" >/dev/null && make -C intl install >/dev/null)
  touch "$(done_mark libintl)"
fi

if [ ! -e "$(done_mark qtbase)" ]; then
  log "qtbase 6.4.2 (about 25 min on 2 cores)"
  src=$(bash "$here/sources.sh" "$cache" qt6-base)
  for p in "$here"/qtbase-patches/*.patch; do
    [ -e "$p" ] || continue
    patch -d "$src" -p1 -N -r - --silent <"$p" || patch -d "$src" -p1 -R --dry-run --silent <"$p"
  done
  cmake -S "$src" -B "$cache/build/qtbase" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix/qt" -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_system_zlib=OFF \
    -DFEATURE_accessibility=ON -DINPUT_openssl=no >"$cache/build/qtbase-configure.log"
  cmake --build "$cache/build/qtbase" -j"$jobs" >"$cache/build/qtbase-build.log"
  cmake --install "$cache/build/qtbase" >/dev/null
  touch "$(done_mark qtbase)"
fi
log "Windows libraries ready in $prefix"
