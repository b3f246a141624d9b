#!/usr/bin/env bash
# quorvel-batch writing 1,000,000 forward points in each --format: elapsed time, peak memory
# and the size of what it writes, beside the CSV. The points carry a code and a height, so
# every format has a column passed through (CASS takes them as its code and H).
#
#   bench/formats_bench.sh [BUILD_DIR]      default build/; N=… RUNS=… override the sizes
#
# Prints a Markdown table for bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
n=${N:-1000000}
runs=${RUNS:-3}
batch=$build/quorvel-batch
[ -x "$batch" ] && [ -f "$build/quorvel-gdal.so" ] || {
  echo "build quorvel-batch and quorvel_gdal first" >&2
  exit 1
}
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian's time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v n="$n" 'BEGIN {
  srand(42)
  print "name,L,B,code,H"
  for (i = 1; i <= n; i++) {
    ld = 114 + int(rand() * 6); lm = int(rand() * 60); lt = int(rand() * 60000)
    bd = 20 + int(rand() * 30); bm = int(rand() * 60); bt = int(rand() * 60000)
    printf "P%d,%d.%02d%05d,%d.%02d%05d,JD,%.3f\n", i, ld, lm, lt, bd, bm, bt, rand() * 1000
  }
}' >"$work/points.csv"

echo "$n points, forward --lo 117 --header with a code and a height, best of $runs runs;"
echo "peak RSS of the last; size of everything the format writes."
echo
echo "| format | elapsed | points/s | peak RSS | written |"
echo "|---|---|---|---|---|"
for format in csv dat dxf gpkg shp kml; do
  args=(forward --lo 117 --header --quiet --format "$format" -o "$work/out.$format")
  [ "$format" = kml ] && args+=(--ellipsoid cgcs2000 --method exact)
  best="" rss=0
  for _ in $(seq "$runs"); do
    rm -f "$work"/out.*
    /usr/bin/time -f "%e %M" -o "$work/time" "$batch" "${args[@]}" "$work/points.csv"
    read -r t rss <"$work/time"
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  size=$(cat "$work"/out.* | wc -c)
  awk -v f="$format" -v t="$best" -v r="$rss" -v s="$size" -v n="$n" 'BEGIN {
    printf "| %s | %.2f s | %.2f M/s | %.1f MB | %.0f MB |\n", f, t, n / t / 1e6, r / 1024, s / 1048576
  }'
done
echo
echo "kml on CGCS2000 with the exact method (KML from Beijing 1954 needs -p); $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
