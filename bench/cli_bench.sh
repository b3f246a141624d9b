#!/usr/bin/env bash
# quorvel-batch end to end on 1,000,000 points per mode as a user runs it, writing with -o to a
# file on the disk of the script's own folder, beside PROJ's `cct -o FILE` on the same points in
# the same run, with the classic series on Krassovsky and with the exact method on CGCS2000; the
# compute-only limit on all cores (bench/core_bench in a thread per core); the one-thread cost of
# a point split into reading and writing (bench/engine_bench) and computing (core_bench); peak
# memory without a report, and of runs with a text and a PDF report of 10,000,000 points.
#
#   bench/cli_bench.sh [BUILD_DIR]      default build/; N=… RUNS=… REPORT_N=… override the sizes
#                                       (REPORT_N=0 leaves the report runs out)
#
# cct comes from Debian's proj-bin, installed here on demand: it is no dependency of the build or
# the tests. Prints Markdown tables for bench/README.md; the numbers need an idle machine.
set -euo pipefail
[ -n "${EPOCHREALTIME:-}" ] || {
  echo "cli_bench.sh: needs bash 5 (EPOCHREALTIME)" >&2
  exit 1
}
cd "$(dirname "$0")/.."
build=${1:-build}
n=${N:-1000000}
runs=${RUNS:-3}
report_n=${REPORT_N:-10000000}
batch=$build/quorvel-batch
core=$build/bench/core_bench
engine=$build/bench/engine_bench

if [ ! -x "$batch" ] || [ ! -x "$core" ] || [ ! -x "$engine" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target quorvel-batch core_bench engine_bench >/dev/null
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

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$work/out.csv

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

tm=(+ellps=krass +x_0=500000 +k=1)
# Best elapsed seconds of RUNS runs, to the microsecond (/usr/bin/time gives hundredths), and the
# peak resident set in KB of the last. Each run starts with no output file and nothing of an
# earlier run left to write back to the disk.
timed() {
  local best="" rss=0 t0 t1
  for _ in $(seq "${RUNS:-$runs}"); do
    rm -f "$out" "$work/out.cct"
    sync
    t0=${EPOCHREALTIME/[^0-9]/}
    /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
      cat "$work/stderr" >&2
      exit 1
    }
    t1=${EPOCHREALTIME/[^0-9]/}
    read -r rss <"$work/time"
    if [ -z "$best" ] || [ $((t1 - t0)) -lt "$best" ]; then best=$((t1 - t0)); fi
  done
  awk -v us="$best" -v rss="$rss" 'BEGIN { printf "%.6f %d\n", us / 1e6, rss }'
}
# Points per second of a benchmark in a CSV of Google Benchmark: NAME in one thread, NAME/all in
# a thread per core.
per_second() { # csv name
  local v
  v=$(awk -F, -v name="$2" '{
      n = $1; gsub(/"/, "", n); sub(/\/real_time\/threads:[0-9]+$/, "/all", n)
      if (n == name && $9 == "") print $7
    }' "$1")
  [ -n "$v" ] || {
    echo "cli_bench.sh: no result for $2 in $1" >&2
    exit 1
  }
  echo "$v"
}
ns() { awk -v r="$(per_second "$@")" 'BEGIN { printf "%.1f", 1e9 / r }'; }

q() { timed "$batch" "$@" -o "$out"; }
c() { timed cct -o "$work/out.cct" "$@"; }
read -r bf rf < <(q forward --lo 117 "$work/forward.csv")
read -r bi ri < <(q inverse --lo 117 "$work/plane.csv")
read -r bz rz < <(q zone --lo 117 --ls 120 "$work/plane.csv")
read -r sf _ < <(QUORVEL_BATCH_THREADS=1 q forward --lo 117 "$work/forward.csv")
read -r si _ < <(QUORVEL_BATCH_THREADS=1 q inverse --lo 117 "$work/plane.csv")
read -r sz _ < <(QUORVEL_BATCH_THREADS=1 q zone --lo 117 --ls 120 "$work/plane.csv")
read -r cf _ < <(c +proj=tmerc "${tm[@]}" +lon_0=117 "$work/forward.cct")
read -r ci _ < <(c -I +proj=tmerc "${tm[@]}" +lon_0=117 "$work/plane.cct")
read -r cz _ < <(c +proj=pipeline +step +inv +proj=tmerc "${tm[@]}" +lon_0=117 \
  +step +proj=tmerc "${tm[@]}" +lon_0=120 "$work/plane.cct")
# The exact method on CGCS2000, and PROJ's tmerc on the same ellipsoid.
exact=(--method exact --ellipsoid cgcs2000)
tmc=(+a=6378137 +rf=298.257222101 +x_0=500000 +k=1)
read -r ef ref < <(q forward "${exact[@]}" --lo 117 "$work/forward.csv")
read -r ei rei < <(q inverse "${exact[@]}" --lo 117 "$work/plane.csv")
read -r sef _ < <(QUORVEL_BATCH_THREADS=1 q forward "${exact[@]}" --lo 117 "$work/forward.csv")
read -r sei _ < <(QUORVEL_BATCH_THREADS=1 q inverse "${exact[@]}" --lo 117 "$work/plane.csv")
read -r cef _ < <(c +proj=tmerc "${tmc[@]}" +lon_0=117 "$work/forward.cct")
read -r cei _ < <(c -I +proj=tmerc "${tmc[@]}" +lon_0=117 "$work/plane.cct")
read -r _ rsmall < <(RUNS=1 q forward --lo 117 "$work/forward-small.csv")
rm -f "$out" "$work/out.cct"

# The computation alone, in one thread and in a thread per core; reading and writing alone.
"$core" --benchmark_filter='^BM_(Forward|Inverse|Zone|ExactForward|ExactInverse)(/.*)?$' \
  --benchmark_min_time=1 --benchmark_format=csv >"$work/core.csv" 2>/dev/null
"$engine" --benchmark_min_time=1 --benchmark_format=csv >"$work/engine.csv" 2>/dev/null
for b in BM_Forward BM_Inverse BM_Zone BM_ExactForward BM_ExactInverse; do
  per_second "$work/core.csv" $b >/dev/null
  per_second "$work/core.csv" $b/all >/dev/null
done
for b in BM_ReadForward BM_ReadPlane BM_WriteForward BM_WriteInverse BM_WriteZone; do
  per_second "$work/engine.csv" $b >/dev/null
done
cores=$(grep -o -m1 'threads:[0-9]*' "$work/core.csv" | cut -d: -f2)
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

echo "Load average (1, 5, 15 min) at the start: $load_start; after the last timing: $load_end."
echo
echo "$n points per mode, best of $runs runs, each writing with -o to a new file on" \
  "$(df -T "$work" | awk 'NR == 2 { print $2 }')"
echo "(quorvel-batch syncs it, cct does not); M = million points per second. quorvel-batch with"
echo "its default worker threads, and with QUORVEL_BATCH_THREADS=1. The limit: the computation"
echo "alone in $cores threads (core_bench), end to end over it."
echo
echo "| mode | quorvel-batch | one thread | cct -o | vs cct | compute-only limit | end to end / limit | peak RSS |"
echo "|---|---|---|---|---|---|---|---|"
row() { # mode batch-s one-thread-s cct-s goal limit-points/s limit-goal rss-kb
  awk -v m="$1" -v b="$2" -v s="$3" -v c="$4" -v t="$5" -v l="$6" -v lt="$7" -v r="$8" -v n="$n" 'BEGIN {
    e2e = n / b
    goal = sprintf(" (≥ %s)", t)
    lgoal = lt == "" ? "" : sprintf(" (≥ %s)", lt)
    printf "| %s | %.3f s, %.2f M/s | %.3f s, %.2f M/s | %.3f s, %.2f M/s | %.1f×%s | %.2f M/s | %.2f%s | %.1f MB |\n",
      m, b, e2e / 1e6, s, n / s / 1e6, c, n / c / 1e6, c / b, goal, l / 1e6, e2e / l, lgoal, r / 1024
  }'
}
limit() { per_second "$work/core.csv" "$1/all"; }
row forward "$bf" "$sf" "$cf" 5 "$(limit BM_Forward)" 0.6 "$rf"
row inverse "$bi" "$si" "$ci" 4 "$(limit BM_Inverse)" 0.6 "$ri"
row zone "$bz" "$sz" "$cz" 3 "$(limit BM_Zone)" "" "$rz"
row "forward, exact" "$ef" "$sef" "$cef" 4 "$(limit BM_ExactForward)" "" "$ref"
row "inverse, exact" "$ei" "$sei" "$cei" 4 "$(limit BM_ExactInverse)" "" "$rei"
echo
echo "One thread, ns a point: reading (engine_bench: the line split, the two values read),"
echo "computing (core_bench), writing (engine_bench: the CSV record), beside quorvel-batch"
echo "with QUORVEL_BATCH_THREADS=1 (elapsed time over the points)."
echo
echo "| mode | reading | computing | writing | sum | quorvel-batch, one thread |"
echo "|---|---|---|---|---|---|"
split() { # mode read-benchmark compute-benchmark write-benchmark one-thread-s
  awk -v m="$1" -v rd="$(ns "$work/engine.csv" "$2")" -v k="$(ns "$work/core.csv" "$3")" \
    -v w="$(ns "$work/engine.csv" "$4")" -v s="$5" -v n="$n" 'BEGIN {
    printf "| %s | %.0f | %.0f | %.0f | %.0f | %.0f |\n", m, rd, k, w, rd + k + w, s / n * 1e9
  }'
}
split forward BM_ReadForward BM_Forward BM_WriteForward "$sf"
split inverse BM_ReadPlane BM_Inverse BM_WriteInverse "$si"
split zone BM_ReadPlane BM_Zone BM_WriteZone "$sz"
split "forward, exact" BM_ReadForward BM_ExactForward BM_WriteForward "$sef"
split "inverse, exact" BM_ReadPlane BM_ExactInverse BM_WriteInverse "$sei"
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
  echo "Peak RSS with --report, forward, $report_n points (-o to a file; limit 64 MB):"
  echo
  echo "| report | elapsed | peak RSS | report size |"
  echo "|---|---|---|---|"
  for kind in txt pdf; do
    if [ "$kind" = pdf ] && [ ! -x "$build/quorvel-batch-pdf" ]; then
      echo "| pdf | (this build writes no PDF reports) | | |"
      continue
    fi
    read -r t r < <(RUNS=1 q forward --lo 117 --report "$work/r.$kind" "$big")
    size=$(stat -c %s "$work/r.$kind")
    awk -v k="$kind" -v t="$t" -v r="$r" -v s="$size" 'BEGIN {
      printf "| %s | %.1f s | %.1f MB%s | %.0f MB |\n", k, t, r / 1024, r / 1024 < 64 ? "" : " (over 64 MB)", s / 1048576
    }'
    rm -f "$work/r.$kind" "$out"
  done
fi
