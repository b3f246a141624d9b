#!/usr/bin/env bash
# 坐标转换 as a person uses it, by keyboard alone, under Xvfb: Ctrl+T, CGCS2000 as the target's
# ellipsoid, the common points opened (Alt+O), 计算参数 (F5), the red row P6 unticked in the
# residual table (a refit), 保存参数… (Alt+A) and 转换文件… (Alt+T) with the export (Ctrl+S).
# The saved file must be quorvel-batch fit -p's for the same points and choices, the export
# quorvel-batch transform --bom's, byte for byte.
#
# Usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER
# Environment:
#   E2E_SHOT_DIR  copy the screenshot of the dialog after the refit here (datum-dialog.png).
#   E2E_WAIT      seconds to wait for each window (default 30).
set -euo pipefail

program=$(realpath "${1:?usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}")
fixture=$(realpath "$(dirname "$0")/common-points.tsv")
batch=$(realpath "${2:?usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}")
out=${3:?usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}
wait_s=${E2E_WAIT:-30}

for tool in xvfb-run xdotool xprop import; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

if [ -z "${QUORVEL_E2E_ON_XVFB:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" env QUORVEL_E2E_ON_XVFB=1 \
        bash "$0" "$program" "$batch" "$out"
fi

mkdir -p "$out"
out=$(realpath "$out")
rm -rf "${out:?}"/*
export LC_ALL=C.UTF-8
# Settings of this run only: the user's own stay untouched.
export XDG_CONFIG_HOME="$out/config"
log="$out/quorvel.log"
pid=

fail() {
    echo "FAIL: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    [ -s "$log" ] && sed 's/^/quorvel: /' "$log" >&2
    exit 1
}
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; }
trap cleanup EXIT
alive() { kill -0 "$pid" 2>/dev/null; }
title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([^)]*) = "\(.*\)"$/\1/p'; }

# Waits until the focused window's title matches the pattern (keys typed earlier would be lost).
focused=
wait_focus() {
    local deadline=$((SECONDS + wait_s)) w
    while ((SECONDS < deadline)); do
        alive || fail "the program ended while '$1' was awaited"
        w=$(xdotool getwindowfocus 2>/dev/null || true)
        if [ -n "$w" ] && [[ "$(title_of "$w")" =~ $1 ]]; then
            focused=$w
            sleep 0.2  # let the window finish taking the focus before typing
            return
        fi
        sleep 0.05
    done
    fail "no window titled '$1' got the focus within ${wait_s}s"
}

# The first visible window of the program whose title matches, or nothing after wait_s. No
# --sync: a search that meets a window closing meanwhile (the progress dialog) fails with an X
# error instead of going on, so search again until the deadline.
find_window() {
    local deadline=$((SECONDS + wait_s)) w
    while ((SECONDS < deadline)) && alive; do
        w=$(xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null | head -n 1) ||
            true
        [ -n "$w" ] && { echo "$w"; return; }
        sleep 0.1
    done
}


common="$out/common-points.tsv"
cp "$fixture" "$common"
points="$out/points.csv"
printf '%s\n' 'name,X,Y' 'A1,3500500,481000' 'A2,3496000.125,499999.5' >"$points"

"$program" >"$log" 2>&1 &
pid=$!
main=$(find_window '^Quorvel$')
[ -n "$main" ] || fail "the window did not appear"
xdotool windowfocus "$main"
wait_focus '^Quorvel$'

xdotool key ctrl+t
wait_focus '^坐标转换$'
dialog=$focused
# The focus starts on the source's ellipsoid: four Tabs to the target's, CGCS2000 two down.
xdotool key Tab Tab Tab Tab Down Down
xdotool key alt+o
wait_focus '^打开公共点文件$'
xdotool type --delay 10 -- "$common"
xdotool key Return
# Without a window manager the focus does not come back by itself after a dialog.
xdotool windowfocus "$dialog"
wait_focus '^坐标转换$'
xdotool key F5
sleep 0.5
# The residual table (Alt+S), its first cell, six rows down to P6, Space unticks it.
xdotool key alt+s ctrl+Home Down Down Down Down Down Down space
sleep 0.5
import -window "$dialog" "$out/datum-dialog.png"

saved="$out/params.txt"
xdotool key alt+a
wait_focus '^保存参数$'
xdotool key ctrl+a
xdotool type --delay 10 -- "$saved"
xdotool key Return
deadline=$((SECONDS + wait_s))
while [ ! -s "$saved" ] && ((SECONDS < deadline)); do sleep 0.1; done
[ -s "$saved" ] || fail "no parameters were saved to $saved"
# The window writes the file's comments in Chinese, as quorvel-batch does under a Chinese locale.
LC_ALL=zh_CN.UTF-8 "$batch" fit --from plane:krassovsky:117 --to plane:cgcs2000:117 --header --check P6 \
    -p "$out/batch-params.txt" --quiet "$common" >"$out/residuals.csv" 2>"$out/fit.err" ||
    fail "quorvel-batch fit ended with status $?"
cmp "$saved" "$out/batch-params.txt" || fail "the saved parameters differ from quorvel-batch fit -p's"
echo "saved parameters are byte for byte quorvel-batch fit -p's"

xdotool windowfocus "$dialog"
wait_focus '^坐标转换$'
xdotool key alt+t
wait_focus '^转换文件$'
xdotool type --delay 10 -- "$points"
xdotool key Return
wait_focus '^转换结果$'
exported="$out/exported.csv"
xdotool key ctrl+s
wait_focus '^导出 CSV$'
xdotool key ctrl+a
xdotool type --delay 10 -- "$exported"
xdotool key Return
deadline=$((SECONDS + wait_s))
while [ ! -s "$exported" ] && ((SECONDS < deadline)); do sleep 0.1; done
[ -s "$exported" ] || fail "nothing was exported to $exported"
"$batch" transform -p "$saved" --header --bom "$points" >"$out/batch.csv" 2>"$out/transform.err" ||
    fail "quorvel-batch transform ended with status $?"
cmp "$exported" "$out/batch.csv" || fail "the export differs from quorvel-batch transform --bom's"
echo "converted export is byte for byte quorvel-batch transform --bom's"
grep -q '^to=plane:cgcs2000:117$' "$XDG_CONFIG_HOME/Quorvel/Quorvel.conf" ||
    fail "the target system was not kept in the settings"

if [ -n "${E2E_SHOT_DIR:-}" ]; then
    cp "$out/datum-dialog.png" "$E2E_SHOT_DIR/datum-dialog.png"
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "screenshot in $out"
