#!/usr/bin/env bash
# 从文件计算 as a person uses it, by keyboard alone, under Xvfb on a laptop screen of 1366 x 768 at
# 125 %: Ctrl+O, the file's path and Enter in Qt's file dialog, the computation type and Lo in
# 从文件计算, Enter; then in the results window Ctrl+S, a path and Enter. The exported CSV must be
# byte for byte what quorvel-batch writes with --bom for the same file; the KML export asks for
# the parameter file and must be what quorvel-batch --format kml -p writes. Then the README's
# field file (点名,编码,Y,X,H in GB18030) with 更多选项 opened (the dialog within the screen) and
# its columns chosen in the dialog's role row, and opened a second time, when the dialog must
# start with the same choices. Screenshots are kept in the output folder.
#
# Usage: file_compute_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER
# Environment:
#   E2E_SHOT_DIR  copy the screenshots of the results window, the dialog with its columns chosen
#                 and the settings dialog here.
#   E2E_WAIT      seconds to wait for each window (default 30).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

program=$(realpath "${1:?usage: file_compute_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}")
fixture=$(realpath "$(dirname "$0")/control-points-gb18030.csv")
batch=$(realpath "${2:?usage: file_compute_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}")
out=${3:?usage: file_compute_e2e.sh QUORVEL QUORVEL_BATCH OUTPUT_FOLDER}
wait_s=${E2E_WAIT:-30}

need_tools xvfb-run xdotool xprop import
export E2E_SCREEN=1366x768x24 QT_SCALE_FACTOR=1.25
run_on_xvfb "$program" "$batch" "$out"
fresh_output

# Ctrl+O in the main window, which has the focus: PATH typed into the file dialog, then
# 从文件计算 awaited.
open_points() {
    xdotool key ctrl+o
    wait_focus '^打开点文件$'
    type_path "$1"
    wait_focus '^从文件计算$'
}

# In 从文件计算, its focus on the computation type: 大地反算 (the type X and Y columns already
# choose; Home first, so that the keys choose it whatever the start), then Tab to Lo and 117.
inverse_lo_117() {
    xdotool key Home Down     # 大地反算
    xdotool key Tab
    xdotool type --delay 20 -- 117
}

# Closes the window WINDOW, titled as the pattern TITLE, with Ctrl+W.
close_window() {
    refocus "$1" "$2"
    xdotool key ctrl+w
    sleep 0.3
}

# Exports the results window titled for FILE to PATH by Ctrl+S, then closes it.
export_results() {
    local title="^计算结果 — ${1//./\\.}\$" window
    window=$(find_window "$title")
    [ -n "$window" ] || fail "the results window of $1 did not appear"
    wait_focus "$title"
    save_as ctrl+s '^导出$' "$2"
    close_window "$window" "$title"
}

# A field file as it comes: a header, heights passed through, a quoted name with a comma, a
# Chinese name, a comment, blanks around values, a mistyped line and a point far east.
points="$out/points.csv"
printf '%s\r\n' 'name,X,Y,H' 'P1,3380000,612345.678,12.5' '"Hill, north",3376628.3754,547196.5246,8' \
    '# checked twice' '水塔, 3381234.5 , 498765.4321,31.2' 'P4,3382000,abc,0' \
    'P5,3390000.25,401234.5,7.75' 'P6,3385000,830000,3' >"$points"

start_quorvel
# No window manager gives the new window the focus: a person would click into it.
refocus "$main" '^Quorvel$'

open_points "$points"
screenshot file-compute-first "$focused"
inverse_lo_117
xdotool key Return
results=$(find_window '^计算结果 — points\.csv$')
[ -n "$results" ] || fail "the results window did not appear"
wait_focus '^计算结果 — points\.csv$'
sleep 0.5
screenshot results-window "$results"

export_path="$out/exported.csv"
save_as ctrl+s '^导出$' "$export_path"

status=0
if "$batch" --help | grep -q -- --bom; then
    "$batch" inverse --lo 117 --header --bom "$points" >"$out/batch.csv" 2>"$out/batch.err" ||
        status=$?
else
    # An engine without --bom: the mark in front of its output is what --bom writes.
    { printf '\357\273\277'; "$batch" inverse --lo 117 --header "$points" 2>"$out/batch.err" ||
        status=$?; } >"$out/batch.csv"
fi
[ "$status" -eq 1 ] || fail "quorvel-batch ended with status $status, expected 1 (one line rejected)"
cmp "$export_path" "$out/batch.csv" || fail "the exported CSV differs from quorvel-batch's output"
echo "exported CSV is byte for byte quorvel-batch's --bom output ($(wc -c <"$export_path") bytes)"

# KML from Beijing 1954 points: the parameter file asked for after the name, then written as
# quorvel-batch --format kml -p writes it.
# Published 7-parameter values (a bureau's, as the README shows them): they hold wherever the
# points lie, unlike a 4-parameter file, which holds for its own zone's grid only.
parameters="$out/bj54-cgcs2000.txt"
cat >"$parameters" <<'EOF'
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
kml="$out/exported.kml"
refocus "$results" '^计算结果 — points\.csv$'
xdotool key ctrl+s
wait_focus '^导出$'
xdotool key ctrl+a
type_path "$kml"
wait_focus '^KML 所需的参数文件'
xdotool key ctrl+a
type_path "$parameters"
deadline=$((SECONDS + wait_s))
while [ ! -s "$kml" ] && ((SECONDS < deadline)); do sleep 0.1; done
[ -s "$kml" ] || fail "nothing was exported to $kml"
status=0
"$batch" inverse --lo 117 --header --format kml -p "$parameters" -o "$out/batch.kml" "$points" \
    2>"$out/batch-kml.err" || status=$?
[ "$status" -eq 1 ] || fail "quorvel-batch --format kml ended with status $status, expected 1"
cmp "$kml" "$out/batch.kml" || fail "the exported KML differs from quorvel-batch --format kml -p's"
echo "exported KML is byte for byte quorvel-batch --format kml -p's"

# The README's field file: the roles of its five columns chosen by keyboard in the role row
# (Alt+C reaches it; Home is 点名, then 纵坐标 X, 横坐标 Y, 带入, 忽略).
field="$out/control-points.csv"
cp "$fixture" "$field"
close_window "$results" '^计算结果 — points\.csv$'
refocus "$main" '^Quorvel$'
open_points "$field"
inverse_lo_117
# 更多选项 open: the dialog stays within the screen, 计算 and 取消 in sight; closed again.
xdotool key alt+m
sleep 0.5
within_screen "$focused" "从文件计算 with 更多选项 open"
screenshot file-compute-more "$focused"
xdotool key alt+m
xdotool key alt+c Home    # 点名
xdotool key Tab Home Down Down Down  # 编码: 带入
xdotool key Tab Home Down Down       # Y: 横坐标 Y
xdotool key Tab Home Down            # X: 纵坐标 X
xdotool key Tab End Up               # H: 带入
sleep 0.3
screenshot file-compute-dialog "$focused"
xdotool key Return
export_results control-points.csv "$out/field-1.csv"
status=0
"$batch" inverse --lo 117 --fields 1,4,3 --encoding gb18030 --header --bom "$field" \
    >"$out/field-batch.csv" 2>"$out/field-batch.err" || status=$?
[ "$status" -eq 0 ] || fail "quorvel-batch ended with status $status on the field file"
cmp "$out/field-1.csv" "$out/field-batch.csv" ||
    fail "the field file's export differs from quorvel-batch inverse --fields 1,4,3 --encoding gb18030 --header --bom"
echo "field file: columns chosen in the dialog, export byte for byte quorvel-batch's"

# Opened again: the dialog starts with the same choices, so Enter alone computes the same.
refocus "$main" '^Quorvel$'
open_points "$field"
xdotool key Return
export_results control-points.csv "$out/field-2.csv"
cmp "$out/field-2.csv" "$out/field-batch.csv" ||
    fail "opened again, the field file was not computed with the same choices"
echo "field file opened again: the same choices, the same export"

# The settings dialog: the focus on the ellipsoid; choosing CGCS2000 takes the exact method,
# Enter accepts, the window's title says so.
refocus "$main" '^Quorvel$'
xdotool key alt+s
sleep 1  # the menu opens, its first entry 椭球与算法… highlighted
xdotool key Return
wait_focus '^椭球与算法$'
xdotool key Down Down
sleep 0.3
screenshot settings-dialog "$focused"
xdotool key Return
deadline=$((SECONDS + wait_s))
while [ "$(title_of "$main")" != 'Quorvel — CGCS2000, 精确' ] && ((SECONDS < deadline)); do
    sleep 0.1
done
[ "$(title_of "$main")" = 'Quorvel — CGCS2000, 精确' ] ||
    fail "the window is titled '$(title_of "$main")' after choosing CGCS2000"
grep -q '^ellipsoid=cgcs2000$' "$XDG_CONFIG_HOME/Quorvel/Quorvel.conf" ||
    fail "the choice was not kept in the settings"
refocus "$main" '^Quorvel — CGCS2000, 精确$'
echo "settings: CGCS2000 chose the exact method and the title says so"

if [ -n "${E2E_SHOT_DIR:-}" ]; then
    cp "$out/results-window.png" "$E2E_SHOT_DIR/results-window.png"
    cp "$out/file-compute-dialog.png" "$E2E_SHOT_DIR/file-compute-dialog.png"
    cp "$out/settings-dialog.png" "$E2E_SHOT_DIR/settings-dialog.png"
fi
xdotool key ctrl+q
expect_end Ctrl+Q
echo "screenshots in $out"
