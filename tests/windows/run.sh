#!/bin/bash
# quorvel-batch.exe under Wine against the Linux build's quorvel-batch: `make test-windows`.
# usage: tests/windows/run.sh BUILD_WIN_DIR LINUX_BUILD_DIR
#    or: tests/windows/run.sh --linux LINUX_BUILD_DIR   (the harness itself, without Wine)
# Wine gets a prefix of its own under BUILD_WIN_DIR, started once and kept for the next run.
# Each case prints PASS or FAIL; the run fails when one does.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# Full precision may differ from Linux's by this many units in the last place: MinGW's and
# Wine's sin, atan, hypot are not glibc's. Measured under Wine 8 over every vector: the classic
# series the same to the bit, the exact method (GeographicLib) and γ, k up to 5 ulp (an easting
# in the last place of its false easting); 8 leaves some room. The run prints the largest.
ulp_bound=8

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_WIN_DIR LINUX_BUILD_DIR | --linux LINUX_BUILD_DIR" >&2
    exit 2
fi
REF=$(realpath "$2/quorvel-batch")
[ -x "$REF" ] || { echo "no Linux quorvel-batch in $2: build it first" >&2; exit 2; }
if [ "$1" = --linux ]; then
    BATCH=$REF RUN='' work=$(realpath "$2")/test-windows
else
    win=$(realpath "$1")
    BATCH=$win/quorvel-batch.exe
    [ -f "$BATCH" ] || { echo "no quorvel-batch.exe in $1: build it first" >&2; exit 2; }
    command -v wine >/dev/null || { echo "wine is not installed" >&2; exit 2; }
    export WINEPREFIX=$win/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
    # The compiler's runtime DLLs, should the program not be linked statically.
    runtime=$(find /usr/lib/gcc/x86_64-w64-mingw32 -maxdepth 1 -name '*-posix' -print -quit)
    WINEPATH="Z:${runtime//\//\\};Z:\\usr\\x86_64-w64-mingw32\\lib"
    export WINEPATH
    work=$win/test-windows
    # Once per prefix (~20 s); the server then stays up for the whole run, not a start per case.
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
    wineserver -p
    trap 'wineserver -k' EXIT
    RUN=wine
fi
export BATCH RUN REF
rm -rf "$work" && mkdir -p "$work"
echo "testing $BATCH${RUN:+ under $RUN} against $REF"

status=0
python3 "$here/vectors.py" "$root/tests/fixtures" "$work/vectors" "$ulp_bound" || status=1
bash "$here/cases.sh" "$work/cases" || status=1
[ $status = 0 ] && echo "test-windows: all passed" || echo "test-windows: FAILED"
exit $status
