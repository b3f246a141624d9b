# shellcheck shell=bash disable=SC2154  # sourced by cases.sh, which defines the helpers
# Map sheets, distances and areas as the Linux program gives them; a workbook, which a build
# without GDAL refuses in words the user can act on.

tool_files() {
    printf 'name,L,B,note\nK1,116.2825,39.5430,桥\nK2,114.3345,39.2230,\nW1,-73.5,40.45,\n' >points.csv
    printf 'S1,116.2825,-0.3\n' >south.csv
    printf 'name,X,Y\nA,4429727.1234,39457302.2617\nB,4431002.55,39469100.1\nC,4420000.0,39470000.0\n' >legs.csv
    printf 'A,0,0\nB,10,10\nC,10,0\nD,0,10\n' >bowtie.csv
    cp "$root/tests/fixtures/workbooks/points.xlsx" book.xlsx
}

tool() {
    local name=$1 status=$2
    shift 2
    both "$@"
    local before=${#problems[@]}
    same status out err
    status_is "$status"
    local i
    for ((i = before; i < ${#problems[@]}; i++)); do problems[i]="$name: ${problems[i]}"; done
}

for lang in C.UTF-8 zh_CN.UTF-8; do
    begin "sheet, distance and area, LANG=$lang" "tools-$lang" tool_files
    tool "sheet with neighbours and corners on 3° zones" 0 \
        sheet --scale 1:10000 --neighbours --zone 3 --header points.csv
    tool "old numbers" 0 sheet --scale 1:50000 --old --header points.csv
    tool "corners of numbers" 0 sheet --corners --lo 117 J50G015010 'J-50-5-(24)-a'
    tool "a number that names no sheet" 2 sheet --corners 'J-50-144-(64)-h'
    tool "south of the equator" 1 sheet --scale 1:1000000 south.csv
    tool "rectangular sheets" 0 sheet --scale 1:500 --plane --header legs.csv
    tool "legs with the geodesic" 0 distance --zone 3 --ellipsoid cgcs2000 --method exact --header legs.csv
    tool "area on the plane and the ellipsoid" 0 area --lo 117 --header legs.csv
    tool "a ring that crosses itself" 1 area bowtie.csv
    end
done

# Linux reads the sheet; the Windows build has no GDAL and says what to do instead.
if [ -n "${RUN:-}" ]; then
    begin "a workbook without GDAL" workbook tool_files
    both forward --lo 117 --header book.xlsx
    status_is 2
    grep -q "CSV" "$case_dir/test.err" || problem "no word of CSV: $(cat "$case_dir/test.err")"
    [ -s "$case_dir/test.out" ] && problem "output written: $(head -2 "$case_dir/test.out")"
    [ "$(cat "$case_dir/linux.rc")" = 0 ] || problem "the Linux program could not read the workbook"
    end
fi
