#!/usr/bin/env bash
# 坐标转换 as a person uses it, by keyboard alone, under Xvfb on a laptop screen of 1366 x 768 at
# 125 %: Ctrl+T (the target starts as CGCS2000), the common points opened (Alt+O), 计算参数 (F5),
# the red row P6 unticked in the residual table (a refit), the dialog within the screen; another
# model chosen (Alt+M) clears the results, and 保存参数… (Alt+A) then opens nothing; the model
# back and F5 again, 转换文件… (Alt+T) before anything is saved, its columns as guessed, the
# points in the results window and its export (Ctrl+S); then 保存参数….
# The saved file must be quorvel-batch fit -p's for the same points and choices, the export
# quorvel-batch transform --bom's with it, byte for byte.
#
# Usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER
# Environment:
#   E2E_SHOT_DIR  copy the screenshots of the dialog after the refit and of the results window
#                 showing the converted points here (datum-dialog.png, datum-results.png).
#   E2E_WAIT      seconds to wait for each window (default 30).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

program=$(realpath "${1:?usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}")
fixture=$(realpath "$(dirname "$0")/common-points.tsv")
batch=$(realpath "${2:?usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}")
out=${3:?usage: datum_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}
wait_s=${E2E_WAIT:-30}

need_tools xvfb-run xdotool xprop import
export E2E_SCREEN=1366x768x24 QT_SCALE_FACTOR=1.25
run_on_xvfb "$program" "$batch" "$out"
fresh_output

common="$out/common-points.tsv"
cp "$fixture" "$common"
points="$out/points.csv"
printf '%s\n' 'name,X,Y' 'A1,3500500,481000' 'A2,3496000.125,499999.5' >"$points"

# The columns' roles as the header names them (Enter takes them), in the dialog titled `$1`;
# its screenshot `$2`, which must fit the screen.
accept_columns() {
    wait_focus "$1"
    screenshot "$2" "$focused"
    within_screen "$focused" "$3"
    xdotool key Return
}

start_quorvel
refocus "$main" '^Quorvel$'

xdotool key ctrl+t
wait_focus '^坐标转换$'
dialog=$focused
xdotool key alt+o
wait_focus '^打开公共点文件$'
type_path "$common"
accept_columns '^公共点文件的各列$' datum-point-columns "the common points' columns"
refocus "$dialog" '^坐标转换$'
xdotool key F5
sleep 0.5
# The residual table (Alt+S), its first cell, six rows down to P6, Space unticks it.
xdotool key alt+s ctrl+Home Down Down Down Down Down Down space
sleep 0.5
screenshot datum-dialog "$dialog"
within_screen "$dialog" "the dialog after the refit"

# Another model: the results go, and 保存参数 with them.
xdotool key alt+m Down
sleep 0.3
xdotool key alt+a
sleep 1
[[ "$(title_of "$(xdotool getwindowfocus)")" =~ ^坐标转换$ ]] ||
    fail "保存参数 opened after the model changed, with the results of the model before"
screenshot datum-dialog-cleared "$dialog"
xdotool key alt+m Up F5
sleep 0.5

# 转换文件 with the fit not saved: the file, its columns as guessed (OK), the results window.
refocus "$dialog" '^坐标转换$'
xdotool key alt+t
wait_focus '^转换文件$'
type_path "$points"
accept_columns '^转换文件的各列$' datum-convert-columns "the columns of the file to convert"
wait_focus '^转换结果 — points\.csv$'
results=$focused
sleep 1  # the map's points, placed in the background
screenshot datum-results "$results"
within_screen "$results" "the results window of the converted points"
exported="$out/exported.csv"
save_as ctrl+s '^导出$' "$exported"
xdotool key ctrl+w

saved="$out/params.txt"
refocus "$dialog" '^坐标转换$'
save_as alt+a '^保存参数$' "$saved" "no parameters were saved to $saved"
# The window writes the file's comments in Chinese, as quorvel-batch does under a Chinese locale.
LC_ALL=zh_CN.UTF-8 "$batch" fit --from plane:krassovsky:117 --to plane:cgcs2000:117 --header --check P6 \
    -p "$out/batch-params.txt" --quiet "$common" >"$out/residuals.csv" 2>"$out/fit.err" ||
    fail "quorvel-batch fit ended with status $?"
cmp "$saved" "$out/batch-params.txt" || fail "the saved parameters differ from quorvel-batch fit -p's"
echo "saved parameters are byte for byte quorvel-batch fit -p's"

"$batch" transform -p "$saved" --header --bom "$points" >"$out/batch.csv" 2>"$out/transform.err" ||
    fail "quorvel-batch transform ended with status $?"
cmp "$exported" "$out/batch.csv" || fail "the export differs from quorvel-batch transform --bom's"
echo "converted export is byte for byte quorvel-batch transform --bom's"
grep -q '^to=plane:cgcs2000:117$' "$XDG_CONFIG_HOME/Quorvel/Quorvel.conf" ||
    fail "the target system was not kept in the settings"

if [ -n "${E2E_SHOT_DIR:-}" ]; then
    cp "$out/datum-dialog.png" "$out/datum-results.png" "$out/datum-point-columns.png" \
        "$out/datum-convert-columns.png" "$E2E_SHOT_DIR/"
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "screenshot in $out"
