#!/usr/bin/env bash
# quorvel.exe under Wine as a person uses it, on a private X server of 1366x768: a forward batch
# typed by keyboard, 从文件计算 exported to CSV, and 打 印 saved as PDF (Wine has no printer).
# Results are compared with the Linux build's quorvel-batch. Prints PASS or FAIL per case.
# usage: tests/windows/window_cases.sh BUILD_WIN_DIR LINUX_BUILD_DIR
# Environment: WINDOW_SHOT copies the window after the batch there (docs/window-windows.png);
#              E2E_DISPLAY the X display number (default 93); E2E_WAIT seconds per window.
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD_WIN_DIR LINUX_BUILD_DIR" >&2; exit 2; }
win=$(realpath "$1")
batch=$(realpath "$2/quorvel-batch")
[ -f "$win/quorvel.exe" ] || { echo "no quorvel.exe in $1: build it first" >&2; exit 2; }
[ -x "$batch" ] || { echo "no Linux quorvel-batch in $2: build it first" >&2; exit 2; }
for tool in Xvfb xdotool xprop import pdftotext wine; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
wait_s=${E2E_WAIT:-60}
out=$win/test-window
rm -rf "$out" && mkdir -p "$out"
export WINEPREFIX=$win/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
export DISPLAY=:${E2E_DISPLAY:-93}
# No key repeat: under load xdotool's key release can come late (see tests/e2e/lib.sh).
Xvfb "$DISPLAY" -screen 0 1366x768x24 -ardelay 30000 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
deadline=$((SECONDS + 10))
until xdpyinfo >/dev/null 2>&1 || ((SECONDS >= deadline)); do sleep 0.1; done
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
home=$WINEPREFIX/drive_c/users/$(id -un)  # the Windows home: Wine names it after the user
# Wine links Documents, Desktop and the like to the Unix home: make them folders of the prefix,
# so the program's files stay in the test's prefix and can be found there.
for link in "$home"/*; do
    [ -L "$link" ] && rm "$link" && mkdir "$link"
done

status=0
failed=
fail() { failed="$*"; import -window root "$out/failure.png" 2>/dev/null; return 1; }
alive() { kill -0 "$pid" 2>/dev/null; }
title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([^)]*) = "\(.*\)"$/\1/p'; }

# Waits for a visible window titled as the pattern, not the main window unless the second
# argument is "main", and gives it the focus. Wine keeps the X focus on the main window and
# routes keys itself, so the window is found by title, not focus.
focused=
wait_focus() {
    local deadline=$((SECONDS + wait_s)) w
    while ((SECONDS < deadline)); do
        alive || { fail "the program ended while '$1' was awaited"; return 1; }
        for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
            if [ "$w" != "$main" ] || [ "${2:-}" = main ]; then
                focused=$w
                xdotool windowfocus "$w" 2>/dev/null
                sleep 0.3
                return 0
            fi
        done
        sleep 0.05
    done
    fail "no window titled '$1' appeared within ${wait_s}s"
}

# Presses Enter in the focused prompt and waits until it is gone: Wine may give the next prompt
# the same X window, so a prompt is known answered only once it has been unmapped.
enter_and_wait_gone() {
    xdotool key Return
    local deadline=$((SECONDS + 10))
    while xwininfo -id "$focused" 2>/dev/null | grep -q 'IsViewable' && ((SECONDS < deadline)); do
        sleep 0.05
    done
}

# Answers the next prompt titled TITLE (Quorvel unless given) with TEXT and Enter.
answer() {
    wait_focus "^${2:-Quorvel}\$" || return 1
    [ -n "$1" ] && xdotool type --delay 30 -- "$1"
    enter_and_wait_gone
}

start() {
    wine "$win/quorvel.exe" >"$out/quorvel.log" 2>&1 &
    pid=$!
    main=
    local deadline=$((SECONDS + wait_s))
    while [ -z "$main" ] && ((SECONDS < deadline)) && alive; do
        main=$(xdotool search --onlyvisible --name '^Quorvel$' 2>/dev/null | head -n 1)
        sleep 0.2
    done
    [ -n "$main" ] || { fail "the window did not appear"; return 1; }
    wait_focus '^Quorvel$' main
}

# The buttons' centres from the layout's twips (15 a pixel), below the frame's red top edge.
click() {
    local -A at=([Command1]="5167 10027" [Command2]="6367 10027" [Command4]="8647 10027")
    local x y top
    read -r x y <<<"${at[$1]}"
    top=$(import -window "$main" -crop 1x700+200+0 +repage -depth 8 txt:- 2>/dev/null |
        sed -n 's/^0,\([0-9]*\):.*#FF0000.*/\1/p' | head -n 1)
    [ -n "$top" ] || { fail "the frame of the layout was not found"; return 1; }
    xdotool mousemove --window "$main" $((x / 15)) $((y / 15 + top + 1 - 320)) click 1
}

points() { printf 'P1,117.2000,30.1500\nP2,116.3045,30.3030\n'; }

case_forward() {
    start || return 1
    click Command1 && click Command2 || return 1
    answer 1 计算类型判别符号 && answer 2 && answer "" || return 1
    answer P1 && answer "" && answer 117.2000 && answer "" && answer 30.1500 && answer "" &&
        answer P2 && answer "" && answer 116.3045 && answer "" && answer 30.3030 && answer "" &&
        answer 117 中央子午线 || return 1
    # Each point's results, confirmed by Enter; then no prompt is left.
    answer "" && answer "" || return 1
    if wait_s=5 wait_focus '^Quorvel$' 2>/dev/null; then
        fail "a prompt is still open after both points' results"
        return 1
    fi
    failed=
    sleep 1
    import -window "$main" "$out/window.png"
    if [ -n "${WINDOW_SHOT:-}" ]; then cp "$out/window.png" "$WINDOW_SHOT"; fi
}

# 打 印 with no printer, after the forward batch (the program still runs): the report saved as
# PDF in the home folder, a message saying so; its rows are quorvel-batch's for the same points.
print_case() {
    alive || { fail "no program left from the forward batch"; return 1; }
    click Command4 || return 1
    wait_focus '^Quorvel$' || return 1
    xdotool key Return
    local pdf deadline=$((SECONDS + wait_s))
    until pdf=$(find "$home" -name '*.pdf' -print -quit 2>/dev/null) && [ -n "$pdf" ] ||
        ((SECONDS >= deadline)); do sleep 0.2; done
    [ -n "$pdf" ] || { fail "打 印 saved no PDF under $home"; return 1; }
    sleep 0.5
    mapfile -t printed < <(pdftotext -layout "$pdf" - | tr -d '\f' | tr -s ' ' |
        sed 's/^ //; s/ $//' | grep -v '^$')
    local expected=("大地正算( 共2 个点 )" "中央子午线经度 : Lo= 117 ( 度,分,秒 )" "序号 L B X Y")
    local i=0 l b x y
    while IFS=, read -r _ l b x y; do
        i=$((i + 1))
        expected+=("$i : $l $b $x $y")
    done < <(points | "$batch" forward --lo 117 2>/dev/null | tail -n +2 | tr -d '\r' |
        awk -F, '{ printf "%s,%.8f,%.8f,%s,%s\n", $1, $2, $3, $4, $5 }' | sed 's/,0\./,./')
    [ "${printed[*]}" = "${expected[*]}" ] ||
        { fail "printed '${printed[*]}', expected '${expected[*]}'"; return 1; }
}

case_file() {
    local csv=$out/points.csv
    printf '%s\r\n' 'name,X,Y,H' 'P1,3380000,612345.678,12.5' '水塔, 3381234.5 , 498765.4321,31.2' \
        'P5,3390000.25,401234.5,7.75' >"$csv"
    start || return 1
    xdotool key ctrl+o
    wait_focus '^打开点文件$' || return 1
    xdotool type --delay 20 -- "$(winepath -w "$csv")"
    xdotool key Return
    wait_focus '^从文件计算$' || return 1
    xdotool key Home Down Tab
    xdotool type --delay 20 -- 117
    xdotool key Return
    wait_focus '^计算结果 — points\.csv$' || return 1
    xdotool key ctrl+s
    wait_focus '^导出$' || return 1
    local exported=$out/exported.csv
    xdotool key ctrl+a
    xdotool type --delay 20 -- "$(winepath -w "$exported")"
    xdotool key Return
    local deadline=$((SECONDS + wait_s))
    until [ -s "$exported" ] || ((SECONDS >= deadline)); do sleep 0.2; done
    "$batch" inverse --lo 117 --header --bom "$csv" >"$out/batch.csv" 2>/dev/null
    cmp -s "$exported" "$out/batch.csv" || { fail "the exported CSV differs from quorvel-batch's"; return 1; }
}

run_case() {
    failed=
    # CASES (a regular expression) picks cases by name.
    [[ "$1" =~ ${CASES:-.} ]] || return 0
    if "$2" && [ -z "$failed" ]; then echo "PASS: $1"; else echo "FAIL: $1: $failed"; status=1; fi
    [ "${3:-}" = keep ] && return
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    wineserver -k 2>/dev/null
    pid=
}

run_case "forward batch by keyboard, every prompt answered" case_forward keep
run_case "打 印 saves the batch as PDF holding quorvel-batch's rows" print_case
run_case "从文件计算 exports quorvel-batch's CSV" case_file
exit $status
