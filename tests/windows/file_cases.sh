# shellcheck shell=bash disable=SC2154  # sourced by cases.sh, which defines the helpers
# Encodings, Chinese file names, replaced files, pipes and the datum example.

examples=$root/docs/examples
control=$root/tests/e2e/control-points-gb18030.csv
points() { printf 'P1,116.3045,30.3030\r\nP2,117.2930,30.3030\r\n' >"${1:-points.csv}"; }

# The field file of the README, as Excel saves it on Chinese Windows (GBK holds its names).
gbk_file() { iconv -f gb18030 -t gbk "$control" >控制点.csv; }
begin "GBK file with Chinese point names" gbk gbk_file
both inverse --lo 117 --encoding gbk --header --fields 1,4,3 --bom 控制点.csv
same status out err
grep -q '北门' "$case_dir/test.out" || problem "the names are not in the output as UTF-8"
both inverse --lo 117 --encoding gb18030 --header --fields 1,4,3 控制点.csv
same status out err
end

# GB18030's four-byte names, not in GBK. Beyond the first plane (U+20BB7) they are linear and
# read as on Linux everywhere. In the first plane (U+3400) they need code page 54936, which Wine
# 8 lacks: the line is then rejected with its number and the missing table named, the others
# written as on Linux; never a name written wrong.
four_byte() {
    printf 'P1,116.3045,30.3030\n\xf0\xa0\xae\xb7,117.2930,30.3030\n' |
        iconv -f utf-8 -t gb18030 >四字节.csv
    printf 'P1,116.3045,30.3030\n\xe3\x90\x80,117.2930,30.3030\nP3,117,30\n' |
        iconv -f utf-8 -t gb18030 >第一平面.csv
}
begin "GB18030 four-byte names" gb18030 four_byte
both forward --lo 117 --encoding gb18030 四字节.csv
same status out err
grep -q $'\xf0\xa0\xae\xb7' "$case_dir/test.out" || problem "U+20BB7 is not in the output"
both forward --lo 117 --encoding gbk 四字节.csv
same status out err
both forward --lo 117 --encoding gb18030 第一平面.csv
if ! cmp -s "$case_dir/test.out" "$case_dir/linux.out"; then
    status_is 1
    sed 3d "$case_dir/linux.out" | cmp -s - "$case_dir/test.out" ||
        problem "not Linux's rows without line 2: $(cat "$case_dir/test.out")"
    grep -q '^第一平面.csv:2: .*54936' "$case_dir/test.err" ||
        problem "line 2 is not named as rejected for the missing code page 54936"
fi
end

# Input, output and report in a folder with a Chinese name, named on the command line.
chinese_folder() { mkdir 测量成果 && points 测量成果/点位.csv; }
begin "files in a folder with a Chinese name" chinese-folder chinese_folder
both forward --lo 117 -o 测量成果/成果.csv --report 测量成果/报告.txt 测量成果/点位.csv
same status out err
same_file 测量成果/成果.csv
same_file 测量成果/报告.txt
both forward --lo 117 测量成果/缺少.csv
same status err-words
end

# -o onto an existing file: replaced whole, or on a failure kept byte for byte, nothing left.
old_target() {
    points
    printf '"P,1",116.3045,30.3030\n' >comma.csv
    printf 'an old file that is much longer than the new results will be, so that a file\n%.0s' \
        {1..200} >old.csv
    cp old.csv old.dat && cp old.csv params.txt
}
begin "-o replaces an existing file whole" replace old_target
both forward --lo 117 -o old.csv points.csv
same status out err
same_file old.csv
only_files points.csv comma.csv old.csv old.dat params.txt
end

begin "-o kept on a run that stops" kept old_target
both forward --lo 117 --format dat -o old.dat comma.csv
same status err
status_is 2
cmp -s "$case_dir/test/old.dat" "$case_dir/test/old.csv" || problem "old.dat was changed"
only_files points.csv comma.csv old.csv old.dat params.txt
end

bad_common_points() {
    old_target
    { cat "$examples/bj54-common.csv" && printf 'G99,44x0600,39501756,4440456,39501633,\n'; } \
        >common.csv
}
begin "-o and -p kept on a refused fit" kept-fit bad_common_points
both fit --from plane:krassovsky:zone3 --to plane:cgcs2000:zone3 --header --model 4 \
    -o old.csv -p params.txt common.csv
same status err
status_is 2
cmp -s "$case_dir/test/old.csv" "$case_dir/test/params.txt" || problem "a file was changed"
only_files points.csv comma.csv old.csv old.dat params.txt common.csv
end

# Standard input and output through pipes, CR LF input: CR LF output, never CR CR LF.
crlf() { points; printf 'name,X,Y\r\nP1,3380000,612345.678\r\n' >inverse.csv; }
begin "standard output through a pipe" pipe crlf
for side in test linux; do
    program=$REF && [ $side = test ] && program=$BATCH
    # shellcheck disable=SC2002  # standard input through a pipe, not a file
    (cd "$case_dir/$side" && cat points.csv | "${runner[@]:-env}" "$program" forward --lo 117 |
        cat >pipe.out) 2>/dev/null
    (cd "$case_dir/$side" && "${runner[@]:-env}" "$program" inverse --lo 117 --header --full \
        inverse.csv | cat >pipe-full.out) 2>/dev/null
done
same_file pipe.out
same_file pipe-full.out
grep -q $'\r\r' "$case_dir/test/pipe.out" && problem "CR CR LF in the output"
[ -s "$case_dir/test/pipe.out" ] || problem "nothing came through the pipe"
end

# The README's worked example: fit writes the parameter file of docs/examples, and transform's
# rounded results are Linux's.
example() { cp "$examples"/bj54-common.csv "$examples"/bj54-points.csv .; }
begin "fit and transform on the worked example" datum example
both fit --from plane:krassovsky:zone3 --to plane:cgcs2000:zone3 --header --model 4 \
    --check G03,G12 --drop-outliers -p bj54-cgcs2000.txt bj54-common.csv
same status out err
cmp -s "$case_dir/test/bj54-cgcs2000.txt" "$examples/bj54-cgcs2000.txt" ||
    problem "fit -p differs from docs/examples/bj54-cgcs2000.txt:" \
        "$(diff "$examples/bj54-cgcs2000.txt" "$case_dir/test/bj54-cgcs2000.txt" | head -6)"
both transform -p bj54-cgcs2000.txt --header bj54-points.csv
same status out err
end
