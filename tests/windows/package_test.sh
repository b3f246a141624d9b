#!/usr/bin/env bash
# Checks the Windows packages of a Windows build folder (`make windows`): the zip's folder and
# files, that every library a program or plugin imports is shipped or part of Windows, and under
# Wine (a prefix of its own in BUILD/package-test) that the installer installs silently, registers
# itself, its Start-menu entry and, when asked, the PATH entry, and that its uninstaller takes all
# of it away again and leaves the rest of the user's PATH as it was.
#
#   package_test.sh BUILD
set -uo pipefail
export LC_ALL=C.UTF-8
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
with_qt=$(cache_value QUORVEL_WITH_QT)
name=quorvel-$version-win64
zip=$build/$name.zip
setup=$build/$name-setup.exe
scratch=$build/package-test
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

[ -f "$zip" ] && [ -f "$setup" ] || {
  echo "FAIL: no packages in $build (build the target windows_package first)" >&2
  exit 1
}
rm -rf "$scratch"
mkdir -p "$scratch"

# --- The zip: one folder, named after the version, holding what the programs need.
unzip -Z1 "$zip" | grep -v "^$name/" | sed 's/^/FAIL: outside the folder: /' | grep . >&2 &&
  status=1
unzip -q "$zip" -d "$scratch/zip"
folder=$scratch/zip/$name
needed=(quorvel-batch.exe LICENSE.txt locale/zh_CN/LC_MESSAGES/quorvel.mo libstdc++-6.dll
  libgcc_s_seh-1.dll libwinpthread-1.dll)
case "$with_qt" in ON | on | 1 | TRUE | true)
  needed+=(quorvel.exe quorvel-batch-pdf.exe qt.conf translations/qtbase_zh_CN.qm
    Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll platforms/qwindows.dll
    platforms/qoffscreen.dll styles/qwindowsvistastyle.dll)
  ;;
esac
for f in "${needed[@]}"; do
  [ -f "$folder/$f" ] || fail "$f is missing from the zip"
done
# No build leftovers: only what the programs use at run time.
find "$folder" -type f ! \( -iname '*.exe' -o -iname '*.dll' -o -name '*.mo' -o -name '*.qm' \
  -o -name qt.conf -o -name LICENSE.txt \) | sed 's/^/FAIL: unexpected file in the zip: /' |
  grep . >&2 && status=1
msgunfmt "$folder/locale/zh_CN/LC_MESSAGES/quorvel.mo" 2>/dev/null |
  grep -P '[\x{4e00}-\x{9fff}]' >/dev/null ||
  fail "the catalogue in the zip holds no Chinese"
x86_64-w64-mingw32-objdump -f "$setup" | grep 'pei-x86-64' >/dev/null ||
  fail "the installer is not a 64-bit program (it would need 32-bit Wine or WOW64)"

# The window opens no console beside it; quorvel-batch is a console program.
subsystem() { x86_64-w64-mingw32-objdump -p "$folder/$1" | sed -n 's/^Subsystem[[:space:]]*//p'; }
[ -f "$folder/quorvel.exe" ] && { subsystem quorvel.exe | grep 'Windows GUI' >/dev/null ||
  fail "quorvel.exe is not a window program: $(subsystem quorvel.exe)"; }
subsystem quorvel-batch.exe | grep 'Windows CUI' >/dev/null ||
  fail "quorvel-batch.exe is not a console program: $(subsystem quorvel-batch.exe)"

# --- Libraries: the check passes on the package and catches one taken away.
bash "$repo/scripts/windows/check_imports.sh" "$folder" || fail "the zip lacks a library"
cp -r "$folder" "$scratch/lacking"
rm "$scratch/lacking/libstdc++-6.dll"
bash "$repo/scripts/windows/check_imports.sh" "$scratch/lacking" 2>"$scratch/lacking.err" &&
  fail "check_imports.sh did not notice libstdc++-6.dll missing"
grep -q 'quorvel-batch.exe needs libstdc++-6.dll' "$scratch/lacking.err" ||
  fail "check_imports.sh did not name quorvel-batch.exe's missing libstdc++-6.dll"

# --- Under Wine. winemenubuilder would copy Start-menu entries into this machine's menus.
command -v wine >/dev/null || {
  echo "wine is not installed: the installer was not run" >&2
  exit 1
}
export WINEPREFIX=$scratch/wine WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
w() { timeout 300 wine "$@"; }
wineboot -i >/dev/null 2>&1
# reg query prints through the console's code page, which has no Chinese: the key is exported
# (UTF-16) and read here instead.
reg_value() { # KEY VALUE: the value's data, or nothing
  rm -f "$scratch/value.reg"
  w reg export "$1" "$(winepath -w "$scratch/value.reg")" /y >/dev/null 2>&1 || return 0
  python3 - "$scratch/value.reg" "$2" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-16").read().replace("\\\r\n  ", "").replace("\\\n  ", "")
for line in text.splitlines():
    m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
    if not m or m.group(1).lower() != sys.argv[2].lower():
        continue
    data = m.group(2)
    if data.startswith('"'):
        print(re.sub(r'\\(.)', r'\1', data[1:-1]))
    elif data.startswith("hex(2):"):
        raw = bytes(int(b, 16) for b in data[7:].split(",") if b)
        print(raw.decode("utf-16-le").rstrip("\0"))
    elif data.startswith("dword:"):
        print(int(data[6:], 16))
PY
}
set_path() {
  if [ -z "$1" ]; then
    w reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1
  else
    w reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null
  fi
}
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
# A folder with a space and Chinese in its name, as surveyors' are.
win_dir='C:\测量 软件\Quorvel'
unix_dir="$WINEPREFIX/drive_c/测量 软件/Quorvel"
# NSIS takes everything after /D= as the folder, unquoted: Wine would quote one argument with a
# space, so the folder goes as the words it has (as typed on a Windows command line).
install() {
  # shellcheck disable=SC2086
  w "$setup" /S "$@" /D=$win_dir && wineserver -w
}
start_menu() { find "$WINEPREFIX/drive_c/users" -name Quorvel.lnk 2>/dev/null; }

# The zip runs where it is unpacked.
out=$(w "$folder/quorvel-batch.exe" --version 2>&1 | tr -d '\r')
grep -q "$version" <<<"$out" || fail "quorvel-batch.exe --version from the zip said: $out"

# Silent install, no PATH entry asked for: the user's PATH stays as it was.
set_path 'C:\tools;C:\bin'
install || fail "the silent install failed"
(cd "$folder" && find . -type f | sort) >"$scratch/zip.list"
(cd "$unix_dir" 2>/dev/null && find . -type f ! -name uninstall.exe | sort) \
  >"$scratch/installed.list"
diff "$scratch/zip.list" "$scratch/installed.list" >&2 ||
  fail "the installer's files are not the zip's"
[ -f "$unix_dir/uninstall.exe" ] || fail "no uninstaller installed"
if [ -f "$folder/quorvel.exe" ]; then
  [ -n "$(start_menu)" ] || fail "no Start-menu entry"
else
  [ -z "$(start_menu)" ] || fail "a Start-menu entry for a package without quorvel.exe"
fi
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] ||
  fail "Add/Remove Programs has no Quorvel $version"
[ "$(reg_value "$uninstall_key" UninstallString)" = "\"$win_dir\\uninstall.exe\"" ] ||
  fail "the uninstall command is not the installed uninstaller"
[ "$(reg_value 'HKCU\Environment' Path)" = 'C:\tools;C:\bin' ] ||
  fail "the PATH changed though not asked to: $(reg_value 'HKCU\Environment' Path)"
out=$(w "$unix_dir/quorvel-batch.exe" --version 2>&1 | tr -d '\r')
grep -q "$version" <<<"$out" || fail "the installed quorvel-batch.exe --version said: $out"

# The installed window opens on an X server of its own: Qt found its platform plugin, style and
# libraries through qt.conf. (Without them Qt shows a message box titled after the program.)
window_opens() {
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    timeout 120 wine "$1" >/dev/null 2>&1 &
    for _ in $(seq 90); do
      if xdotool search --name "^Quorvel" >/dev/null 2>&1; then wineserver -k; exit 0; fi
      sleep 1
    done
    wineserver -k
    exit 1' _ "$1"
}
if [ -f "$unix_dir/quorvel.exe" ]; then
  window_opens "$unix_dir/quorvel.exe" || fail "the installed quorvel.exe opened no window"
  wineserver -w
fi

uninstall() {
  w "$unix_dir/uninstall.exe" /S || fail "the silent uninstall failed"
  # The uninstaller runs on from a copy of itself in the temporary folder.
  wineserver -w
}
uninstall
[ ! -e "$unix_dir" ] || fail "the uninstaller left $(cd "$unix_dir" && find . | tr '\n' ' ')"
[ -z "$(start_menu)" ] || fail "the uninstaller left the Start-menu entry"
[ -z "$(reg_value "$uninstall_key" DisplayName)" ] || fail "Add/Remove Programs still lists Quorvel"
[ -d "$WINEPREFIX/drive_c/测量 软件" ] || fail "the uninstaller removed the parent folder too"

# With /ADDTOPATH the folder is added after the user's entries and taken out again.
install /ADDTOPATH || fail "the silent install with /ADDTOPATH failed"
[ "$(reg_value 'HKCU\Environment' Path)" = "C:\\tools;C:\\bin;$win_dir" ] ||
  fail "/ADDTOPATH gave the PATH $(reg_value 'HKCU\Environment' Path)"
# Installed again over itself, the folder is not added twice.
install /ADDTOPATH || fail "installing again over the installed Quorvel failed"
[ "$(reg_value 'HKCU\Environment' Path)" = "C:\\tools;C:\\bin;$win_dir" ] ||
  fail "installing again gave the PATH $(reg_value 'HKCU\Environment' Path)"
# The user put it there once more, next to it: the uninstaller takes every copy.
set_path "C:\\tools;C:\\bin;$win_dir;$win_dir"
uninstall
[ "$(reg_value 'HKCU\Environment' Path)" = 'C:\tools;C:\bin' ] ||
  fail "uninstalling left the PATH $(reg_value 'HKCU\Environment' Path)"

# A folder the user had on the PATH before is the user's: installing and uninstalling keep it.
set_path "$win_dir;C:\\tools"
install /ADDTOPATH
uninstall
[ "$(reg_value 'HKCU\Environment' Path)" = "$win_dir;C:\\tools" ] ||
  fail "the user's own PATH entry became $(reg_value 'HKCU\Environment' Path)"

# A PATH of nothing but the folder goes entirely; one empty before gets only the folder.
set_path ''
install /ADDTOPATH
[ "$(reg_value 'HKCU\Environment' Path)" = "$win_dir" ] ||
  fail "/ADDTOPATH on an empty PATH gave $(reg_value 'HKCU\Environment' Path)"
uninstall
w reg query 'HKCU\Environment' /v Path >/dev/null 2>&1 && fail "uninstalling left an empty PATH"

# A PATH longer than the installer's strings is never rewritten (it would be cut short).
long='C:\tools'
while [ ${#long} -lt 1100 ]; do long="$long;C:\\some\\long\\folder\\name"; done
set_path "$long"
install /ADDTOPATH
[ -f "$unix_dir/quorvel-batch.exe" ] || fail "a long PATH stopped the install"
[ "$(reg_value 'HKCU\Environment' Path)" = "$long" ] || fail "the installer changed a long PATH"
uninstall
[ "$(reg_value 'HKCU\Environment' Path)" = "$long" ] || fail "the uninstaller changed a long PATH"
[ ! -e "$unix_dir" ] || fail "the uninstaller left files after a long PATH"

[ "$status" = 0 ] && echo "Windows packages of Quorvel $version: all checks passed"
exit "$status"
