#!/usr/bin/env bash
# Builds the Debian package from the build folder as `make package` does, lists its files and
# checks its fields, and runs lintian on it: no errors.
#
#   package_test.sh BUILD_FOLDER WORK_FOLDER VERSION CHANGELOG
set -euo pipefail
build=$1 work=$2 version=$3 changelog=$4

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-parsechangelog lintian; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$work/quorvel_${version}-1_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb: $(ls "$work")"

echo "Files of $(basename "$deb"):"
dpkg-deb -c "$deb" | awk '{print $1, $6}' | tee "$work/files"
for f in ./usr/bin/quorvel ./usr/bin/quorvel-batch ./usr/libexec/quorvel/quorvel-batch-pdf \
    ./usr/lib/quorvel/quorvel-gdal.so ./usr/share/applications/quorvel.desktop ./usr/share/icons/hicolor/48x48/apps/quorvel.png \
    ./usr/share/man/man1/quorvel-batch.1.gz ./usr/share/doc/quorvel/copyright \
    ./usr/share/doc/quorvel/changelog.Debian.gz ./usr/share/locale/zh_CN/LC_MESSAGES/quorvel.mo; do
    grep -q " $f\$" "$work/files" || fail "the package lacks $f"
done
! grep -qE ' \./usr/local/|/include/|\.a$' "$work/files" || fail "the package holds stray files"

[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "package version"
[ "$(dpkg-parsechangelog -l "$changelog" -S Version)" = "$version-1" ] ||
    fail "the changelog's latest entry is not $version-1: add one"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6printsupport6 libgdal fonts-wqy-zenhei qt6-qpa-plugins qt6-translations-l10n; do
    grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done

status=0
lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb" >"$work/lintian.log" \
    2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$status" = 0 ] || fail "lintian reports errors"
echo "package ok"
