#!/usr/bin/env bash
# 从文件计算 in the window on 1,000,000 points, beside quorvel-batch on the same file: how soon
# the progress dialog appears, how soon the results window shows, and the window's peak memory.
# Driven under Xvfb by keyboard, as tests/e2e/file_compute_e2e.sh does.
#
#   bench/file_compute_bench.sh [BUILD_DIR]      default build/; N=… RUNS=… override the sizes
#
# Prints a Markdown table for bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
n=${N:-1000000}
runs=${RUNS:-3}

if [ -z "${QUORVEL_BENCH_ON_XVFB:-}" ]; then
    if [ ! -x "$build/quorvel" ] || [ ! -x "$build/quorvel-batch" ]; then
        cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$build" -j"$(nproc)" --target quorvel quorvel-batch >/dev/null
    fi
    exec xvfb-run -a -s "-screen 0 1280x1024x24" env QUORVEL_BENCH_ON_XVFB=1 bash "$0" "$build"
fi

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8 XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"

# Field points as cli_bench.sh makes them: packed degrees to a tenth of an arc-second.
awk -v n="$n" 'BEGIN {
  srand(42)
  for (i = 1; i <= n; i++) {
    ld = 114 + int(rand() * 6); lm = int(rand() * 60); lt = int(rand() * 600)
    bd = 20 + int(rand() * 30); bm = int(rand() * 60); bt = int(rand() * 600)
    printf "P%d,%d.%02d%03d,%d.%02d%03d\n", i, ld, lm, lt, bd, bm, bt
  }
}' >"$work/points.csv"

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

best=
for _ in $(seq "$runs"); do
    t0=$(now)
    "$build/quorvel-batch" forward --lo 117 -o /dev/null "$work/points.csv" 2>/dev/null
    t=$(since "$t0")
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
done

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([^)]*) = "\(.*\)"$/\1/p'; }
wait_focus() {
    local deadline=$((SECONDS + 60)) w
    while ((SECONDS < deadline)); do
        w=$(xdotool getwindowfocus 2>/dev/null || true)
        if [ -n "$w" ] && [[ "$(title_of "$w")" =~ $1 ]]; then sleep 0.2; return; fi
        sleep 0.02
    done
    echo "no window '$1'" >&2
    exit 1
}
# Seconds from `t0` until a window of the program with this title is visible.
appears() {
    until xdotool search --all --onlyvisible --pid "$pid" --name "$1" >/dev/null 2>&1; do
        kill -0 "$pid" || exit 1
        sleep 0.01
    done
    since "$t0"
}

window_best= progress_worst=0 peak_worst=0
for _ in $(seq "$runs"); do
    "$build/quorvel" >/dev/null 2>&1 &
    pid=$!
    main=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quorvel$' | head -n 1)
    xdotool windowfocus "$main"
    wait_focus '^Quorvel$'
    xdotool key ctrl+o
    wait_focus '^打开点文件$'
    xdotool type --delay 5 -- "$work/points.csv"
    xdotool key Return
    wait_focus '^从文件计算$'
    xdotool key Tab
    xdotool type --delay 20 -- 117
    t0=$(now)
    xdotool key Return
    progress=$(appears '^正在计算$')
    shown=$(appears '^计算结果 — points\.csv$')
    [ -n "${BENCH_DEBUG:-}" ] && echo "progress $progress shown $shown now $(since "$t0")" >&2
    sleep 0.5
    [ -n "${BENCH_SHOT:-}" ] && import -window root "$BENCH_SHOT"
    peak=$(awk '/^VmHWM/ { printf "%.0f", $2 / 1024 }' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
    if [ -z "$window_best" ] || awk -v a="$shown" -v b="$window_best" 'BEGIN { exit !(a < b) }'; then
        window_best=$shown
    fi
    progress_worst=$(awk -v a="$progress" -v b="$progress_worst" 'BEGIN { print (a > b ? a : b) }')
    ((peak > peak_worst)) && peak_worst=$peak
done

ratio=$(awk -v a="$window_best" -v b="$best" 'BEGIN { printf "%.2f", a / b }')
echo "| points | quorvel-batch | progress dialog shown | results window shown | window / quorvel-batch | window peak RSS |"
echo "|---|---|---|---|---|---|"
echo "| $n | $best s | ≤ $progress_worst s | $window_best s | $ratio (≤ 2) | $peak_worst MB (< 400) |"
