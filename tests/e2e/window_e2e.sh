#!/usr/bin/env bash
# Quorvel as a person uses it: the real program under Xvfb, driven with mouse clicks and typed
# answers (the texts in the boxes are checked by the offscreen window tests). Presses "打 印"
# before any batch and dismisses the message that says there is nothing to print; runs a
# two-point forward batch; leaves a batch of 32767 points with Esc at its first prompt and prints
# the earlier batch again; types "abc" for a latitude, dismisses the error box and completes the
# batch with a good value; runs a zone batch whose Ls, 180° from its point, is refused when typed
# and asked again, and prints it; ends the program with "终止计算". Screenshots are kept in the
# output folder. Without a print queue of its own (see print_step.sh) the run sees no printer at
# all and the report is saved as a PDF file in a home folder of its own.
#
# Usage: window_e2e.sh QUORVEL_PROGRAM OUTPUT_FOLDER
# Environment:
#   E2E_AFTER_FORWARD  a bash file sourced right after the forward batch; it may use the
#                      functions below and lib.sh's (click Command4, wait_dialog, answer,
#                      screenshot, ...).
#   E2E_SHOT_COPY      copy the screenshot of the window after the forward batch to this path.
#   E2E_WAIT           seconds to wait for each window (default 30).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

program=$(realpath "${1:?usage: window_e2e.sh QUORVEL_PROGRAM OUTPUT_FOLDER}")
out=${2:?usage: window_e2e.sh QUORVEL_PROGRAM OUTPUT_FOLDER}
wait_s=${E2E_WAIT:-30}

need_tools xvfb-run xdotool xprop import pdftotext
run_on_xvfb "$program" "$out"

mkdir -p "$out"
rm -f "$out"/*.png
export LC_ALL=C.UTF-8
export HOME="$out/home"
rm -rf "$HOME"
mkdir -p "$HOME"
if [ -z "${QUORVEL_PRINT_JOBS:-}" ]; then
    # No scheduler listens here: no printer, whatever the machine has.
    export CUPS_SERVER="$out/no-cups-here.sock"
fi
log="$out/quorvel.log"
last_dialog=

# Buttons by name: left, top, width, height in twips; clicked at their centre (15 twips a pixel).
declare -A buttons=(
    [Command1]="4680 9840 975 375" [Command2]="5880 9840 975 375"
    [Command3]="7080 9840 975 375" [Command4]="8280 9840 735 375"
)
click() {
    local left top width height
    read -r left top width height <<<"${buttons[$1]}"
    alive || fail "the program ended before $1 was clicked"
    xdotool mousemove --window "$main" $(((left + width / 2) / 15)) \
        $(((top + height / 2) / 15 + layout_top)) click 1
}

is_dialog() { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG; }

# Waits until a dialog other than the last one has the input focus and sets `dialog` to it. Keys
# sent before that would be lost.
dialog=
wait_dialog() {
    local deadline=$((SECONDS + wait_s)) w
    while ((SECONDS < deadline)); do
        alive || fail "the program ended while a dialog was awaited"
        w=$(xdotool getwindowfocus 2>/dev/null || true)
        if [ -n "$w" ] && [ "$w" != "$last_dialog" ] && [ "$w" != "$main" ] && is_dialog "$w"; then
            last_dialog=$w
            dialog=$w
            return
        fi
        sleep 0.05
    done
    fail "no new dialog within ${wait_s}s (last answered: ${last_answer:-none})"
}

# Answers the next prompt: `answer TEXT [TITLE]`; an empty TEXT is Enter on the empty prompt.
last_answer=
answer() {
    local title
    wait_dialog
    title=$(title_of "$dialog")
    [ "$title" = "${2:-Quorvel}" ] || fail "prompt titled '$title', expected '${2:-Quorvel}'"
    [ -n "$1" ] && xdotool type --delay 20 -- "$1"
    xdotool key Return
    last_answer="'$1' ($title)"
}

# Pixels of the error icon's red in a screenshot; a prompt has none.
red_pixels() {
    /usr/bin/convert "$1" -depth 8 -format %c histogram:info:- |
        sed -n 's/^ *\([0-9]*\): *( *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1 \2 \3 \4/p' |
        awk '$2 > 180 && $3 < 90 && $4 < 90 { n += $1 } END { print n + 0 }'
}

# The next window must be the error box, not one more prompt: it carries the error icon.
dismiss_error_box() {
    wait_dialog
    [ "$(title_of "$dialog")" = Quorvel ] || fail "error box titled '$(title_of "$dialog")'"
    screenshot error-box
    screenshot error-box-only "$dialog"
    local red
    red=$(red_pixels "$out/error-box-only.png")
    ((red > 50)) || fail "the dialog after the mistyped value is no error box ($red red pixels)"
    xdotool key Return
    echo "error box shown and dismissed"
}

# No dialog may remain open after a handler has ended.
expect_no_dialog() {
    sleep 1
    local w
    w=$(xdotool getwindowfocus 2>/dev/null || true)
    if [ -n "$w" ] && [ "$w" != "$main" ] && is_dialog "$w"; then
        fail "a dialog titled '$(title_of "$w")' is still open"
    fi
}

# One point: name, L and B, each confirmed with Enter.
enter_point() {
    answer "$1"
    answer ""
    answer "$2"
    answer ""
    answer "$3"
    answer ""
}

start_program() {
    start_quorvel
    # The window carries the program's icon (the desktop shows it in task bars and switchers).
    local icons
    icons=$(xprop -id "$main" _NET_WM_ICON)
    grep -q 'Icon (48 x 48)' <<<"$icons" || fail "the window has no 48 px icon"
    find_layout_top
}

# The documented layout stands below the menu bar: find how far down by the frame's top edge
# (Line2, 3 px wide, centred 320 px below the layout's top).
layout_top=0
find_layout_top() {
    local deadline=$((SECONDS + wait_s)) y
    while ((SECONDS < deadline)); do
        y=$(import -window "$main" -crop 1x600+200+0 +repage -depth 8 txt:- 2>/dev/null |
            sed -n 's/^0,\([0-9]*\):.*#FF0000.*/\1/p' | head -n 1)
        if [ -n "$y" ]; then
            layout_top=$((y + 1 - 320))
            return
        fi
        sleep 0.1
    done
    fail "the frame of the layout was not found"
}

forward_batch() {
    click Command1
    click Command2
    answer 1 计算类型判别符号
    answer 2
    answer ""
    # East of Lo first, then the point the README quotes, which the window shows last.
    enter_point P1 117.2000 30.1500
    enter_point P2 116.3045 30.3030
    answer 117 中央子午线
    answer ""  # output of point 1
    answer ""  # output of point 2
    expect_no_dialog
    screenshot after-forward
    screenshot window "$main"
    if [ -n "${E2E_SHOT_COPY:-}" ]; then cp "$out/window.png" "$E2E_SHOT_COPY"; fi
    echo "forward batch of two points done"
}

# Any message box titled Quorvel, closed with Enter.
dismiss_message() {
    wait_dialog
    [ "$(title_of "$dialog")" = Quorvel ] || fail "message box titled '$(title_of "$dialog")'"
    screenshot "$1"
    xdotool key Return
}

print_before_any_batch() {
    click Command4
    dismiss_message nothing-to-print
    expect_no_dialog
    if [ -n "${QUORVEL_PRINT_JOBS:-}" ]; then
        compgen -G "$QUORVEL_PRINT_JOBS/job-*.pdf" >/dev/null && fail "a job was sent with nothing to print"
    fi
    [ -z "$(ls -A "$HOME")" ] || fail "a file was written with nothing to print"
    echo "打 印 before any batch said there was nothing to print"
}

# `print_report N SHOT GLOB`: presses 打 印 and sets `pdf` to what it printed: job N of the print
# queue, or without one the file matching GLOB in the home folder, saved as PDF, once the message
# saying so (screenshot SHOT) is dismissed.
print_report() {
    click Command4
    if [ -n "${QUORVEL_PRINT_JOBS:-}" ]; then
        expect_no_dialog
        local deadline=$((SECONDS + wait_s))
        until [ -e "$QUORVEL_PRINT_JOBS/job-$1.pdf" ] || ((SECONDS >= deadline)); do sleep 0.2; done
        pdf="$QUORVEL_PRINT_JOBS/job-$1.pdf"
        sleep 0.5
    else
        dismiss_message "$2"
        pdf=$(compgen -G "$HOME/$3" | head -n 1) || true
    fi
}

# The first line of the text of a PDF file.
pdf_title() { pdftotext -layout "$1" - | tr -s ' ' | sed 's/^ //' | grep -v '^$' | head -n 1; }

abandoned_batch() {
    click Command2
    answer 1 计算类型判别符号
    answer 32767
    answer ""
    wait_dialog  # the name of point 1
    xdotool key Escape
    expect_no_dialog
    alive || fail "the program ended after Esc"
    screenshot after-esc
    echo "Esc at point 1 of 32767 ended the batch with no further prompt"

    # The earlier batch is still the one printed.
    local pdf
    print_report 2 saved-as-pdf '*.pdf'
    [ -e "$pdf" ] || fail "打 印 after Esc printed nothing"
    local title
    title=$(pdf_title "$pdf")
    [ "$title" = "大地正算( 共2 个点 )" ] || fail "打 印 after Esc printed '$title'"
    echo "the earlier batch printed again after Esc"
}

mistyped_batch() {
    click Command2
    answer 1 计算类型判别符号
    answer 1
    answer ""
    enter_point P3 116.3045 abc
    dismiss_error_box
    answer 30.3030  # the latitude asked again
    answer ""
    answer 117 中央子午线
    answer ""  # output of the point
    expect_no_dialog
    alive || fail "the program ended after the error box"
    screenshot after-error
    # The window still answers clicks: a new batch starts with its first prompt.
    click Command2
    answer 4 计算类型判别符号
    answer 0
    answer ""
    expect_no_dialog
    echo "a mistyped latitude was asked again and the batch completed"
}

# A zone batch whose Ls lies 180° from its point: refused when Ls is typed, with the error box,
# and Ls asked again; the batch then completes with the Ls typed the second time, which the
# printed report shows.
far_target_meridian_batch() {
    click Command2
    answer 3 计算类型判别符号
    answer 1
    answer ""
    enter_point Z1 3380000 612345.678
    answer 117  # Lo
    answer ""
    answer 297  # Ls, 180° from the point
    answer ""
    dismiss_error_box
    answer 120  # Ls asked again
    answer ""
    answer ""  # output of the point
    expect_no_dialog
    alive || fail "the program ended after Ls was refused"
    screenshot after-far-ls

    local pdf
    print_report 3 saved-zone-as-pdf '*座标换带*.pdf'
    [ -e "$pdf" ] || fail "打 印 after the zone batch printed nothing"
    local text
    text=$(pdftotext -layout "$pdf" - | tr -s ' ')
    grep -q "座标换带( 共1 个点 )" <<<"$text" || fail "the zone batch printed: $text"
    grep -q "Lx= 120 " <<<"$text" || fail "the zone batch's Ls is not the one typed again: $text"
    echo "Ls 180 degrees from the point was refused when typed and asked again"
}

end_program() {
    click Command3
    expect_end 终止计算
    echo "终止计算 ended the program"
}

start_program
print_before_any_batch
forward_batch
if [ -n "${E2E_AFTER_FORWARD:-}" ]; then
    # shellcheck source=/dev/null
    source "$E2E_AFTER_FORWARD"
fi
abandoned_batch
mistyped_batch
far_target_meridian_batch
end_program
echo "screenshots in $out"
