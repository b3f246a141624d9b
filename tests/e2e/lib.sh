# shellcheck shell=bash disable=SC2034,SC2154  # variables shared with the sourcing script
# Sourced by the end-to-end scripts: the program on a private X server, its windows awaited by
# title, paths typed into file dialogs, screenshots, and the program ended or killed on exit.
# The sourcing script sets `program`, `out`, `log` and `wait_s` (seconds to wait for a window)
# before it calls these; `pid` is the program's while it runs, `main` its main window.

pid=
main=

# Skips the test (status 77) unless every tool named is installed.
need_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"
            exit 77
        fi
    done
}

# Runs the sourcing script again with the arguments given, on an X server of its own; the
# default screen of xvfb-run is too small for the window. E2E_SCREEN chooses another size than
# 1280x1024x24. Returns once on that server. A key held longer than -ardelay repeats: on a
# loaded machine xdotool's release can come late, and a repeated Space ticks a box back.
run_on_xvfb() {
    if [ -z "${QUORVEL_E2E_ON_XVFB:-}" ]; then
        exec xvfb-run -a -s "-screen 0 ${E2E_SCREEN:-1280x1024x24} -ardelay 30000" \
            env QUORVEL_E2E_ON_XVFB=1 \
            bash "$0" "$@"
    fi
}

# Fails unless WINDOW lies within the screen, named NAME in the message.
within_screen() {
    local X Y WIDTH HEIGHT WINDOW SCREEN x y w h sw sh
    eval "$(xdotool getwindowgeometry --shell "$1")"
    x=$X y=$Y w=$WIDTH h=$HEIGHT
    read -r sw sh < <(xdotool getdisplaygeometry)
    ((x >= 0 && y >= 0 && x + w <= sw && y + h <= sh)) ||
        fail "$2 is ${w}x${h} at $x,$y, beyond the screen of ${sw}x${sh}"
    echo "$2: ${w}x${h} at $x,$y on ${sw}x${sh}"
}

# An emptied output folder, made absolute; the settings of this run only, so that the user's own
# stay untouched.
fresh_output() {
    mkdir -p "$out"
    out=$(realpath "$out")
    rm -rf "${out:?}"/*
    export LC_ALL=C.UTF-8
    export XDG_CONFIG_HOME="$out/config"
    log="$out/quorvel.log"
}

fail() {
    echo "FAIL: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    [ -s "$log" ] && sed 's/^/quorvel: /' "$log" >&2
    exit 1
}

cleanup() { if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; }
trap cleanup EXIT

alive() { kill -0 "$pid" 2>/dev/null; }

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([^)]*) = "\(.*\)"$/\1/p'; }

# `screenshot NAME [WINDOW]`: the whole screen, or WINDOW, as NAME.png in the output folder.
screenshot() { import -window "${2:-root}" "$out/$1.png"; }

# Waits until the focused window's title matches the pattern and sets `focused` to it (keys typed
# earlier would be lost).
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

# Gives WINDOW the focus and waits until the window titled as the pattern has it. Without a window
# manager the focus comes to no window by itself, neither at the start nor after a dialog.
refocus() {
    xdotool windowfocus "$1"
    wait_focus "$2"
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

# Starts the program, its output in the log, and sets `main` to its window once it shows.
start_quorvel() {
    "$program" >"$log" 2>&1 &
    pid=$!
    main=$(find_window '^Quorvel$')
    [ -n "$main" ] || fail "the window did not appear"
}

# Types a path into the file dialog that has the focus and presses Enter.
type_path() {
    xdotool type --delay 10 -- "$1"
    xdotool key Return
}

# `save_as KEY TITLE PATH [FAILURE]`: KEY opens the file dialog titled as the pattern TITLE, PATH
# replaces the name it offers, Enter saves. Fails with FAILURE unless PATH is written in time.
save_as() {
    xdotool key "$1"
    wait_focus "$2"
    xdotool key ctrl+a
    type_path "$3"
    local deadline=$((SECONDS + wait_s))
    while [ ! -s "$3" ] && ((SECONDS < deadline)); do sleep 0.1; done
    [ -s "$3" ] || fail "${4:-nothing was exported to $3}"
}

# Waits for the program to end after what HOW did, with status 0.
expect_end() {
    local deadline=$((SECONDS + wait_s)) status=0
    while alive && ((SECONDS < deadline)); do sleep 0.1; done
    alive && fail "$1 did not end the program"
    wait "$pid" || status=$?
    pid=
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
