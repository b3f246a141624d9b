#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and uses it from there as a user would: the
# programs, quorvel-batch's PDF writer and the Chinese messages found from the programs' folder
# (also after the tree has moved), the desktop entry, AppStream metainfo, man pages and bash
# completion.
#
#   install_test.sh BUILD_FOLDER WORK_FOLDER VERSION
set -euo pipefail
build=$1 work=$2 version=$3

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in desktop-file-validate appstreamcli man pdftotext ogrinfo; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work"
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"

share=$root/usr/share
for f in usr/bin/quorvel usr/bin/quorvel-batch usr/libexec/quorvel/quorvel-batch-pdf \
    usr/lib/quorvel/quorvel-gdal.so \
    usr/share/applications/quorvel.desktop usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/quorvel.svg usr/share/man/man1/quorvel.1.gz \
    usr/share/man/man1/quorvel-batch.1.gz usr/share/bash-completion/completions/quorvel-batch \
    usr/share/doc/quorvel/copyright usr/share/doc/quorvel/changelog.Debian.gz \
    usr/share/locale/zh_CN/LC_MESSAGES/quorvel.mo; do
    [ -s "$root/$f" ] || fail "not installed: /$f"
done
for size in 48 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/quorvel.png
    [ "$(file -b "$png" | cut -d, -f2)" = " $size x $size" ] || fail "$png: $(file -b "$png")"
done

# The version, from the one place it is set; quorvel answers without a display.
[ "$("$root/usr/bin/quorvel-batch" --version)" = "quorvel-batch $version" ] ||
    fail "quorvel-batch --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/quorvel" --version)" = "quorvel $version" ] ||
    fail "quorvel --version"

# A run with a PDF report, from the installed tree and again after it has moved.
cd "$work"
printf 'P1,116.3045,30.3030\n"Hill, north",117.2930,30.3030\n' >points.csv
run_pdf() {
    "$1/usr/bin/quorvel-batch" forward --lo 117 -o "$2.csv" --report "$2.pdf" points.csv \
        2>"$2.err" || fail "$1: quorvel-batch exited $?: $(cat "$2.err")"
    grep -q '^P1,116.3045,30.3030,3376626.6403,453203.4506' "$2.csv" || fail "$2.csv: $(cat "$2.csv")"
    pdftotext -layout "$2.pdf" - | grep -q '大地正算( 共2 个点 )' || fail "$2.pdf has no title"
    # GDAL's module, found from the program's folder.
    "$1/usr/bin/quorvel-batch" forward --lo 117 --format gpkg -o "$2.gpkg" points.csv \
        2>"$2.err" || fail "$1: --format gpkg exited $?: $(cat "$2.err")"
    ogrinfo -so "$2.gpkg" forward | grep -q 'Feature Count: 2' || fail "$2.gpkg: no 2 points"
}
run_pdf "$root" installed
mv "$root" "$work/moved"
root=$work/moved
run_pdf "$root" moved

# Chinese under a Chinese locale: quorvel-batch and its PDF writer in libexec find the catalogue.
for report in '' --report=zh.pdf; do
    said=$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=zh_CN.UTF-8 "$root/usr/bin/quorvel-batch" \
        forward --lo 117 $report -o zh.csv points.csv 2>&1) || fail "in Chinese: $said"
    [ "$said" = "2 点，0 行被拒绝" ] || fail "quorvel-batch $report under zh_CN.UTF-8 said: $said"
done

# Without its PDF writer quorvel-batch says so and writes nothing.
rm "$root/usr/libexec/quorvel/quorvel-batch-pdf"
status=0
"$root/usr/bin/quorvel-batch" forward --lo 117 --report lost.pdf points.csv >/dev/null 2>lost.err ||
    status=$?
[ "$status" = 2 ] || fail "without the PDF writer: exit $status"
grep -q 'cannot start the PDF writer' lost.err || fail "without the PDF writer: $(cat lost.err)"
[ ! -e lost.pdf ] || fail "a report was written without the PDF writer"
share=$root/usr/share

desktop-file-validate "$share/applications/quorvel.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$share/metainfo/org.quorvel.Quorvel.metainfo.xml" >appstream.log ||
    fail "metainfo: $(cat appstream.log)"
grep -q "<release version=\"$version\"" "$share/metainfo/org.quorvel.Quorvel.metainfo.xml" ||
    fail "metainfo names another version"

# Man pages: no formatting warnings, the version, and every option quorvel-batch knows.
for page in quorvel quorvel-batch; do
    MANWIDTH=100 LC_ALL=C.UTF-8 man --warnings -l "$share/man/man1/$page.1.gz" >"$page.txt" \
        2>"$page.warnings"
    [ ! -s "$page.warnings" ] || fail "$page(1): $(cat "$page.warnings")"
    grep -q "Quorvel $version" "$page.txt" || fail "$page(1) names another version"
done
options=$("$root/usr/bin/quorvel-batch" --help | grep -oE '^  -[-a-z0-9]+' | tr -d ' ')
[ -n "$options" ] || fail "no options in --help"
for option in $options; do
    grep -qE "^ +(-[a-z], )?$option( |$)" quorvel-batch.txt ||
        fail "quorvel-batch(1) does not describe $option"
done
# The longest line read, as --help gives it.
limit=$("$root/usr/bin/quorvel-batch" --help | grep -oE 'at most [0-9]+ bytes')
[ -n "$limit" ] || fail "--help does not give the longest line"
tr -s ' \n' ' ' <quorvel-batch.txt | grep -q "$limit" || fail "quorvel-batch(1) does not say $limit"
ellipsoids=$("$root/usr/bin/quorvel-batch" --list-ellipsoids)
[ -n "$ellipsoids" ] || fail "no ellipsoids listed"
for key in $ellipsoids; do
    grep -qw -- "$key" quorvel-batch.txt || fail "quorvel-batch(1) does not name $key"
done

# Bash completion offers the modes, and every option of --help after a mode (zone, fit,
# transform, height-fit, sheet, distance or area).
if [ -f /usr/share/bash-completion/bash_completion ]; then
    completions() {
        bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"; shift
                 COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"
                 COMP_POINT=${#COMP_LINE}; _quorvel_batch quorvel-batch "${@: -1}" "${@: -2:1}"
                 printf "%s\n" "${COMPREPLY[@]}"' \
            _ "$share/bash-completion/completions/quorvel-batch" "$@"
    }
    [ "$(completions quorvel-batch '' | sort | tr '\n' ' ')" = "area distance fit forward height-fit inverse plan sheet transform zone " ] ||
        fail "completion of the mode: $(completions quorvel-batch '')"
    offered=$(completions quorvel-batch zone -; completions quorvel-batch fit -
              completions quorvel-batch transform -; completions quorvel-batch height-fit -
              completions quorvel-batch sheet -; completions quorvel-batch distance -)
    for option in $options; do
        grep -qx -- "$option" <<<"$offered" || fail "completion does not offer $option"
    done
    # The ellipsoids, asked of the installed program.
    offered=$(PATH=$root/usr/bin:$PATH completions quorvel-batch forward --ellipsoid '')
    [ "$offered" = "$ellipsoids" ] || fail "completion of --ellipsoid: $offered"
fi
echo "installed tree works"
