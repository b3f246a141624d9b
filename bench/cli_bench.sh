#!/usr/bin/env bash
# quorvel-batch end to end on 1,000,000 points per mode, beside PROJ's cct on the same points and
# the core alone (bench/core_bench), with the classic series on Krassovsky and with the exact
# method on CGCS2000; peak memory without a report, and of runs with a text and a PDF report of
# 10,000,000 points.
#
#   bench/cli_bench.sh [BUILD_DIR]      default build/; N=… RUNS=… REPORT_N=… override the sizes
#                                       (REPORT_N=0 leaves the report runs out)
#
# cct comes from Debian's proj-bin, installed here on demand: it is no dependency of the build or
# the tests. Prints a Markdown table for bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
n=${N:-1000000}
runs=${RUNS:-3}
report_n=${REPORT_N:-10000000}
batch=$build/quorvel-batch
core=$build/bench/core_bench

if [ ! -x "$batch" ] || [ ! -x "$core" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target quorvel-batch core_bench >/dev/null
fi
missing=()
command -v cct >/dev/null || missing+=(proj-bin)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
  [ "$(id -u)" -eq 0 ] || as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
  "${as_root[@]}" apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 \
    "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The same points for both programs: packed degrees to a thousandth of an arc-second
# (116.3045123) for quorvel-batch and decimal degrees for cct, which reads four columns x y z t.
awk -v n="$n" -v dir="$work" 'BEGIN {
  srand(42)
  for (i = 1; i <= n; i++) {
    ld = 114 + int(rand() * 6); lm = int(rand() * 60); lt = int(rand() * 60000)  # ms of arc
    bd = 20 + int(rand() * 30); bm = int(rand() * 60); bt = int(rand() * 60000)
    printf "P%d,%d.%02d%05d,%d.%02d%05d\n", i, ld, lm, lt, bd, bm, bt > (dir "/forward.csv")
    printf "%.10f %.10f 0 0\n", ld + lm / 60 + lt / 3600000, bd + bm / 60 + bt / 3600000 > (dir "/forward.cct")
    x = 2200000 + rand() * 3300000; y = 250000 + rand() * 500000
    printf "P%d,%.4f,%.4f\n", i, x, y > (dir "/plane.csv")
    printf "%.4f %.4f 0 0\n", y, x > (dir "/plane.cct")
  }
}'
head -n 100000 "$work/forward.csv" >"$work/forward-small.csv"

tm="+ellps=krass +x_0=500000 +k=1"
# Best elapsed seconds of RUNS runs, and the peak resident set in KB of the last.
timed() {
  local best="" rss=0 t
  for _ in $(seq "${RUNS:-$runs}"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
      cat "$work/stderr" >&2
      exit 1
    }
    read -r t rss <"$work/time"
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best $rss"
}
ns_per_point() { # benchmark name
  "$core" --benchmark_filter="^$1\$" --benchmark_min_time=1 2>/dev/null |
    grep -o 'ns/point=[0-9.]*' | head -n1 | cut -d= -f2
}
rate() { awk -v n="$n" -v s="$1" 'BEGIN { printf "%.2f", n / s / 1e6 }'; }

read -r bf rf < <(timed "$batch" forward --lo 117 "$work/forward.csv")
read -r bi ri < <(timed "$batch" inverse --lo 117 "$work/plane.csv")
read -r bz rz < <(timed "$batch" zone --lo 117 --ls 120 "$work/plane.csv")
read -r sf _ < <(QUORVEL_BATCH_THREADS=1 timed "$batch" forward --lo 117 "$work/forward.csv")
read -r si _ < <(QUORVEL_BATCH_THREADS=1 timed "$batch" inverse --lo 117 "$work/plane.csv")
read -r sz _ < <(QUORVEL_BATCH_THREADS=1 timed "$batch" zone --lo 117 --ls 120 "$work/plane.csv")
read -r cf _ < <(timed cct +proj=tmerc $tm +lon_0=117 "$work/forward.cct")
read -r ci _ < <(timed cct -I +proj=tmerc $tm +lon_0=117 "$work/plane.cct")
read -r cz _ < <(timed cct +proj=pipeline +step +inv +proj=tmerc $tm +lon_0=117 \
  +step +proj=tmerc $tm +lon_0=120 "$work/plane.cct")
# The exact method on CGCS2000, and PROJ's tmerc on the same ellipsoid.
exact=(--method exact --ellipsoid cgcs2000)
tmc="+a=6378137 +rf=298.257222101 +x_0=500000 +k=1"
read -r ef ref < <(timed "$batch" forward "${exact[@]}" --lo 117 "$work/forward.csv")
read -r ei rei < <(timed "$batch" inverse "${exact[@]}" --lo 117 "$work/plane.csv")
read -r sef _ < <(QUORVEL_BATCH_THREADS=1 timed "$batch" forward "${exact[@]}" --lo 117 "$work/forward.csv")
read -r sei _ < <(QUORVEL_BATCH_THREADS=1 timed "$batch" inverse "${exact[@]}" --lo 117 "$work/plane.csv")
read -r cef _ < <(timed cct +proj=tmerc $tmc +lon_0=117 "$work/forward.cct")
read -r cei _ < <(timed cct -I +proj=tmerc $tmc +lon_0=117 "$work/plane.cct")
read -r _ rsmall < <(RUNS=1 timed "$batch" forward --lo 117 "$work/forward-small.csv")
kf=$(ns_per_point BM_Forward)
ki=$(ns_per_point BM_Inverse)
kz=$(ns_per_point BM_Zone)
kef=$(ns_per_point BM_ExactForward)
kei=$(ns_per_point BM_ExactInverse)

echo "$n points per mode, best of $runs runs, output to /dev/null; M = million points per second;"
echo "quorvel-batch with its default worker threads, and with QUORVEL_BATCH_THREADS=1."
echo
echo "| mode | quorvel-batch | one thread | cct | vs cct | core alone | end to end / core | peak RSS |"
echo "|---|---|---|---|---|---|---|---|"
row() { # mode batch-s one-thread-s cct-s target core-ns rss-kb
  awk -v m="$1" -v b="$2" -v s="$3" -v c="$4" -v t="$5" -v k="$6" -v r="$7" -v n="$n" 'BEGIN {
    e2e = n / b; core = 1e9 / k
    goal = t == "" ? "" : sprintf(" (≥ %s)", t)
    printf "| %s | %.2f s, %.2f M/s | %.2f s, %.2f M/s | %.2f s, %.2f M/s | %.1f×%s | %.0f ns/point, %.2f M/s | %.2f (≥ 0.5) | %.1f MB |\n",
      m, b, e2e / 1e6, s, n / s / 1e6, c, n / c / 1e6, c / b, goal, k, core / 1e6, e2e / core, r / 1024
  }'
}
row forward "$bf" "$sf" "$cf" 5 "$kf" "$rf"
row inverse "$bi" "$si" "$ci" 4 "$ki" "$ri"
row zone "$bz" "$sz" "$cz" "" "$kz" "$rz"
row "forward, exact" "$ef" "$sef" "$cef" 4 "$kef" "$ref"
row "inverse, exact" "$ei" "$sei" "$cei" 4 "$kei" "$rei"
echo
echo "Peak RSS, forward: $(awk -v r="$rsmall" 'BEGIN { printf "%.1f", r / 1024 }') MB for 100,000 points," \
  "$(awk -v r="$rf" 'BEGIN { printf "%.1f", r / 1024 }') MB for $n."
echo "$(cct --version 2>&1 | head -n1); $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"

# Peak memory with a report, which streams: the points of 1,000,000 lines repeated to REPORT_N.
if [ "$report_n" -gt 0 ]; then
  big=$work/report.csv
  reps=$(((report_n + n - 1) / n))
  for _ in $(seq "$reps"); do cat "$work/forward.csv"; done | head -n "$report_n" >"$big"
  rm -f "$work/forward.cct" "$work/plane.cct"
  echo
  echo "Peak RSS with --report, forward, $report_n points (output to /dev/null; limit 64 MB):"
  echo
  echo "| report | elapsed | peak RSS | report size |"
  echo "|---|---|---|---|"
  for kind in txt pdf; do
    if [ "$kind" = pdf ] && [ ! -x "$build/quorvel-batch-pdf" ]; then
      echo "| pdf | (this build writes no PDF reports) | | |"
      continue
    fi
    read -r t r < <(RUNS=1 timed "$batch" forward --lo 117 -o /dev/null --report "$work/r.$kind" "$big")
    size=$(stat -c %s "$work/r.$kind")
    awk -v k="$kind" -v t="$t" -v r="$r" -v s="$size" 'BEGIN {
      printf "| %s | %.1f s | %.1f MB%s | %.0f MB |\n", k, t, r / 1024, r / 1024 < 64 ? "" : " (over 64 MB)", s / 1048576
    }'
    rm -f "$work/r.$kind"
  done
fi
