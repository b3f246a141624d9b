#!/usr/bin/env bash
# Makes the Windows packages from a Windows build folder (cmake/windows_package.cmake runs it):
# the build is installed into BUILD/package/NAME, checked, zipped into BUILD/NAME.zip and packed
# into the installer BUILD/NAME-setup.exe.
#
#   package.sh BUILD NAME WITH_QT      (WITH_QT: 1 for the full build, 0 for quorvel-batch alone)
set -euo pipefail
build=$(realpath "$1")
name=$2
with_qt=$3
here=$(cd "$(dirname "$0")" && pwd)
stage=$build/package/$name

rm -rf "$build/package" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$build/package"
cmake --install "$build" --prefix "$stage" --strip >/dev/null
# The MinGW runtime comes with its symbols (libstdc++ alone is 23 MB with them, 2 MB without).
find "$stage" -iname '*.dll' -exec "${STRIP:-x86_64-w64-mingw32-strip}" --strip-unneeded {} +

# What a user needs: a package without one of these must not be made.
needed=(quorvel-batch.exe locale/zh_CN/LC_MESSAGES/quorvel.mo LICENSE.txt
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
if [ "$with_qt" = 1 ]; then
  needed+=(quorvel.exe quorvel-batch-pdf.exe qt.conf translations/qtbase_zh_CN.qm
    Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll Qt6Concurrent.dll
    platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll)
fi
missing=0
for f in "${needed[@]}"; do
  [ -f "$stage/$f" ] || { echo "package.sh: $f is missing from the package" >&2; missing=1; }
done
[ "$missing" = 0 ] || exit 1
# Every library a program or plugin imports is in the package or is part of Windows.
bash "$here/check_imports.sh" "$stage"

(cd "$build/package" && zip -qrX9 "$build/$name.zip" "$name")

# The installer installs exactly the staged files and its uninstaller removes exactly them.
list_install=$build/installer/files_install.nsh
list_uninstall=$build/installer/files_uninstall.nsh
mkdir -p "$build/installer"
: >"$list_install"
: >"$list_uninstall"
(cd "$stage" && find . -type d -printf '%P\n' | sort) | while read -r d; do
  win=${d//\//\\}
  files=$(cd "$stage/$d" && find . -maxdepth 1 -type f -printf '%f\n' | sort)
  [ -n "$files" ] || continue
  echo "SetOutPath \"\$INSTDIR${win:+\\$win}\"" >>"$list_install"
  while read -r f; do
    echo "File \"$stage/${d:+$d/}$f\"" >>"$list_install"
    echo "Delete \"\$INSTDIR\\${win:+$win\\}$f\"" >>"$list_uninstall"
  done <<<"$files"
done
# Folders deepest first, each removed only once empty.
(cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | sort -r) | while read -r d; do
  echo "RMDir \"\$INSTDIR\\${d//\//\\}\"" >>"$list_uninstall"
done
window=()
[ "$with_qt" = 1 ] && window=(-DWITH_WINDOW)
"${MAKENSIS:-makensis}" -V2 -INPUTCHARSET UTF8 "${window[@]}" -DOUTFILE="$build/$name-setup.exe" \
  -DFILES_INSTALL="$list_install" -DFILES_UNINSTALL="$list_uninstall" \
  "$build/installer/quorvel.nsi"
echo "Windows packages: $build/$name.zip $build/$name-setup.exe"
