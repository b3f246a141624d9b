#!/bin/bash
# quorvel-batch's files, encodings, messages and exit statuses, each case run by the program under
# test and by the Linux program in twin folders prepared alike, then compared.
# usage: cases.sh WORK   (BATCH, RUN and REF in the environment; RUN may be empty)
# Prints one PASS or FAIL line a case; exits 1 when one fails.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd) # used by the cases sourced below
work=$1
failed=0
problems=()
lang=C.UTF-8
read -ra runner <<<"${RUN:-}"

# A case: fresh twin folders test/ and linux/ under WORK/NAME, SETUP (a function) run in each.
begin() {
    case_name=$1 case_dir=$work/$2
    problems=()
    rm -rf "$case_dir" && mkdir -p "$case_dir/test" "$case_dir/linux"
    (cd "$case_dir/test" && $3) && (cd "$case_dir/linux" && $3)
}

# Runs the two programs in their folders with the arguments given; standard input from the
# file named by $stdin (relative to the folder) when set. Output in test.out, linux.err, ...
both() {
    local side input
    for side in test linux; do
        input=/dev/null
        [ -n "${stdin:-}" ] && input=$case_dir/$side/$stdin
        (
            cd "$case_dir/$side" || exit 99
            if [ "$side" = test ]; then
                exec env -u LC_ALL -u LANGUAGE LANG="$lang" "${runner[@]}" "$BATCH" "$@"
            fi
            exec env -u LC_ALL -u LANGUAGE LANG="$lang" "$REF" "$@"
        ) <"$input" >"$case_dir/$side.out" 2>"$case_dir/$side.err"
        echo $? >"$case_dir/$side.rc"
    done
}

problem() { problems+=("$*"); }

# The two runs gave the same bytes: `status`, `out`, `err`, or `err-words`, the messages up to
# the system's words after their last colon (strerror and FormatMessage word faults apart).
# Messages are text: Windows may end their lines with CR LF, never CR CR LF.
same() {
    local what
    for what in "$@"; do
        case $what in
            status) cmp -s "$case_dir/test.rc" "$case_dir/linux.rc" ||
                problem "exit status $(cat "$case_dir/test.rc"), Linux $(cat "$case_dir/linux.rc")" ;;
            out) cmp -s "$case_dir/test.out" "$case_dir/linux.out" ||
                problem "standard output differs from Linux's (< Linux, > test):" \
                    "$(diff <(od -c "$case_dir/linux.out") <(od -c "$case_dir/test.out") |
                        head -8)" ;;
            err) sed 's/\r$//' "$case_dir/test.err" | cmp -s - "$case_dir/linux.err" ||
                problem "messages differ from Linux's (< Linux, > test):" \
                    "$(diff "$case_dir/linux.err" "$case_dir/test.err" | head -8)" ;;&
            err | err-words) ! grep -q $'\r\r' "$case_dir/test.err" ||
                problem "CR CR LF in the messages" ;;&
            err-words) [ "$(sed 's/\r$//' "$case_dir/test.err" | program_words)" = \
                "$(program_words <"$case_dir/linux.err")" ] ||
                problem "messages differ from Linux's: $(cat "$case_dir/test.err") /" \
                    "Linux: $(cat "$case_dir/linux.err")" ;;
        esac
    done
}

program_words() { sed -E 's/(: |：)[^:：]*$//'; }

# FILE (relative to the twin folders) holds the same bytes in both.
same_file() {
    cmp -s "$case_dir/test/$1" "$case_dir/linux/$1" || problem "$1 differs from Linux's"
}

# The test folder holds exactly the names given (nothing left behind by a failed run).
only_files() {
    local listed wanted
    listed=$(cd "$case_dir/test" && find . -mindepth 1 -maxdepth 1 -printf '%P\n' | sort)
    wanted=$(printf '%s\n' "$@" | sort)
    [ "$listed" = "$wanted" ] || problem "files left: $(echo "$listed" | tr '\n' ' ')"
}

status_is() {
    [ "$(cat "$case_dir/test.rc")" = "$1" ] || problem "exit status $(cat "$case_dir/test.rc"), expected $1"
}

end() {
    if [ ${#problems[@]} -eq 0 ]; then
        echo "PASS: $case_name"
    else
        failed=$((failed + 1))
        echo "FAIL: $case_name"
        printf '    %s\n' "${problems[@]}"
        [ -f "$case_dir/test.err" ] && sed 's/^/    messages: /' "$case_dir/test.err" | head -5
    fi
}

# shellcheck source=tests/windows/file_cases.sh
. "$here/file_cases.sh"
# shellcheck source=tests/windows/status_cases.sh
. "$here/status_cases.sh"
# shellcheck source=tests/windows/tool_cases.sh
. "$here/tool_cases.sh"

exit $((failed > 0))
