#!/usr/bin/env bash
# Runs the platform's tests, cross-built for Windows, under Wine in a prefix of their own (made
# on the first run, ~20 s). The MinGW runtime DLLs come from Debian's cross compilers.
#
#   run_under_wine.sh WINDOWS_BUILD_FOLDER [GTEST ARGUMENTS...]
set -euo pipefail
build=$(cd "$1" && pwd)
shift
exe=$build/platform_tests.exe
[ -f "$exe" ] || { echo "no $exe: build the target platform_tests in $build first" >&2; exit 2; }
command -v wine >/dev/null || { echo "wine is not installed" >&2; exit 77; }

export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
runtime=()
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found=$(find /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32/lib -name "$dll" \
        -path '*posix*' -print -quit 2>/dev/null || true)
    [ -n "$found" ] || found=$(find /usr/x86_64-w64-mingw32/lib -name "$dll" -print -quit)
    runtime+=("$(dirname "$found")")
done
WINEPATH=
for d in "${runtime[@]}"; do WINEPATH+="Z:${d//\//\\};"; done
export WINEPATH
# The scratch folders go to Wine's %TEMP%, a Windows folder as any user has.
exec wine "$exe" --gtest_color=no "$@"
