#!/usr/bin/env bash
# quorvel-batch transform end to end on 1,000,000 points beside PROJ's cct with the same
# pipeline, in the same run: Beijing 1954 3° zone 39 (the zone number in front of Y) to CGCS2000
# by the 7-parameter model, both writing to a file.
#
#   bench/datum_bench.sh [BUILD_DIR]      default build/; N=… RUNS=… override the sizes
#
# cct comes from Debian's proj-bin (a test dependency). Prints a Markdown table for
# bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
n=${N:-1000000}
runs=${RUNS:-3}
batch=$build/quorvel-batch
[ -x "$batch" ] || {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target quorvel-batch >/dev/null
}
command -v cct >/dev/null || { echo "cct is missing: apt-get install proj-bin" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: apt-get install time" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The same points for both: X from 3,400,000 to 4,600,000 m, Y within 150 km of 117° in zone 39,
# to the millimetre; cct reads "x y z t" in the pipeline's order, X (north) first.
awk -v n="$n" -v dir="$work" 'BEGIN {
  srand(42)
  for (i = 1; i <= n; i++) {
    x = 3400000 + rand() * 1200000; y = 39350000 + rand() * 300000
    printf "P%d,%.3f,%.3f\n", i, x, y > (dir "/points.csv")
    printf "%.3f %.3f 0 0\n", x, y > (dir "/points.cct")
  }
}'
cat >"$work/p.txt" <<'EOF'
model = 7
convention = coordinate-frame
from = plane:krassovsky:zone3
to = plane:cgcs2000:zone3
heights = no
dx = -32.4
dy = 118.7
dz = 61.2
rx = 1.83
ry = -0.94
rz = 2.71
ds = 4.27
EOF
k="+a=6378245 +rf=298.3"
c="+a=6378137 +rf=298.257222101"
tm="+proj=tmerc +lat_0=0 +lon_0=117 +k_0=1 +x_0=39500000 +y_0=0"
pipeline="+proj=pipeline +step +proj=axisswap +order=2,1 +step +inv $tm $k +step +proj=cart $k
  +step +proj=helmert +x=-32.4 +y=118.7 +z=61.2 +rx=1.83 +ry=-0.94 +rz=2.71 +s=4.27
  +convention=coordinate_frame +step +inv +proj=cart $c +step $tm $c
  +step +proj=axisswap +order=2,1"
pipeline=$(printf '%s' "$pipeline" | tr -s ' \n' '  ')

# Best elapsed seconds of RUNS runs, and the peak resident set in KB of the last.
timed() {
  local best="" rss=0 t
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" 2>"$work/stderr" >/dev/null || {
      cat "$work/stderr" >&2
      exit 1
    }
    read -r t rss < <(tail -n1 "$work/time")
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best $rss"
}

read -r tb rb < <(timed "$batch" transform -p "$work/p.txt" -o "$work/out.csv" "$work/points.csv")
read -r ts _ < <(QUORVEL_BATCH_THREADS=1 timed "$batch" transform -p "$work/p.txt" \
  -o "$work/out1.csv" "$work/points.csv")
# shellcheck disable=SC2086
read -r tc _ < <(timed sh -c "cct -d 4 $pipeline '$work/points.cct' >'$work/out.cct'")

# The two programs' results agree: the largest difference in X and Y, in millimetres.
worst=$(paste -d' ' <(tail -n +2 "$work/out.csv" | tr ',' ' ') "$work/out.cct" | awk '
  { dx = $4 - $6; dy = $5 - $7; if (dx < 0) dx = -dx; if (dy < 0) dy = -dy
    if (dx > m) m = dx; if (dy > m) m = dy }
  END { printf "%.2f", m * 1000 }')

echo "$n points, best of $runs runs, output to a file; M = million points per second."
echo
echo "| program | elapsed | rate | vs cct | peak RSS |"
echo "|---|---|---|---|---|"
awk -v n="$n" -v b="$tb" -v s="$ts" -v c="$tc" -v r="$rb" 'BEGIN {
  printf "| quorvel-batch transform | %.2f s | %.2f M/s | %.1f× (≥ 3) | %.1f MB |\n", b, n / b / 1e6, c / b, r / 1024
  printf "| quorvel-batch transform, one thread | %.2f s | %.2f M/s | %.1f× | |\n", s, n / s / 1e6, c / s
  printf "| cct | %.2f s | %.2f M/s | 1 | |\n", c, n / c / 1e6
}'
echo
echo "Largest difference between the two, X or Y: $worst mm (quorvel-batch rounds to 0.1 mm, cct here to 0.1 mm)."
echo "$(cct --version 2>&1 | head -n1); $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); load average $(cut -d' ' -f1-3 /proc/loadavg)"
