# shellcheck shell=bash disable=SC2154  # sourced by cases.sh, which defines the helpers
# Exit statuses and messages, in English and in Chinese, against the Linux program's.

faults() {
    points
    printf 'P1,116.3045,30.3030\nP2,116.3O45,30.3030\nP3,116.3045,95.3\n' >bad.csv
    mkdir folder
    points target.csv && chmod 444 target.csv
}

# NAME, the exit status both must give, how the messages are compared (whole, `err`, or up to
# the system's words, `err-words`), then the arguments.
fault() {
    local name=$1 status=$2 compare=$3
    shift 3
    both "$@"
    local before=${#problems[@]}
    same status "$compare"
    status_is "$status"
    [ "$(cat "$case_dir/linux.rc")" = "$status" ] || problem "the Linux program gave $(cat "$case_dir/linux.rc")"
    local i
    for ((i = before; i < ${#problems[@]}; i++)); do problems[i]="$name: ${problems[i]}"; done
}

for lang in C.UTF-8 zh_CN.UTF-8; do
    begin "exit statuses and messages, LANG=$lang" "faults-$lang" faults
    fault success 0 err forward --lo 117 -o out.csv points.csv
    fault "usage error" 2 err forward --lo 117 --bogus points.csv
    fault "settings that do not go together" 2 err forward --lo 117 --ellipsoid cgcs2000 points.csv
    fault "refused job" 2 err inverse --lo 117 --format dat points.csv
    fault "rejected rows" 1 err forward --lo 117 bad.csv
    fault "missing input" 2 err-words forward --lo 117 missing.csv
    fault "read-only target" 2 err-words forward --lo 117 -o target.csv points.csv
    cmp -s "$case_dir/test/target.csv" "$case_dir/test/points.csv" ||
        problem "read-only target: target.csv was changed"
    fault "input as output" 2 err forward --lo 117 -o points.csv points.csv
    fault "missing folder" 2 err-words forward --lo 117 -o missing/out.csv points.csv
    fault "target is a folder" 2 err forward --lo 117 -o folder points.csv
    only_files points.csv bad.csv folder target.csv out.csv
    if [ $lang = zh_CN.UTF-8 ]; then
        grep -q '是文件夹' "$case_dir/test.err" || problem "the message is not in Chinese"
    fi
    end
done
lang=C.UTF-8
