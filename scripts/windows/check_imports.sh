#!/usr/bin/env bash
# Checks that every DLL imported by the programs and libraries in a Windows package folder is
# either in the package or part of Windows itself, so nothing is missing on a PC that has only
# the package. Prints each import that is neither and exits 1.
#
#   check_imports.sh FOLDER
set -euo pipefail
folder=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
# Libraries every Windows 10 and 11 has (System32), in lower case.
system=" advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d2d1.dll \
d3d11.dll d3d12.dll d3d9.dll dnsapi.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll \
iphlpapi.dll kernel32.dll mpr.dll msvcrt.dll netapi32.dll ntdll.dll ole32.dll oleaut32.dll \
secur32.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll \
version.dll winmm.dll winspool.drv wtsapi32.dll ws2_32.dll "
# The loader looks for a program's libraries in the program's folder; plugins find them there
# too, as their host program has it as its folder.
shipped=" $(cd "$folder" && find . -maxdepth 1 -type f -iname '*.dll' -printf '%f\n' |
  tr '[:upper:]' '[:lower:]' | tr '\n' ' ') "
bad=0
while IFS= read -r -d '' binary; do
  while read -r dll; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    # API sets (api-ms-win-*, Windows 8 and later) are mapped by the loader onto its own.
    if [[ "$system$shipped" != *" $lower "* && "$lower" != api-ms-win-* ]]; then
      echo "check_imports.sh: ${binary#"$folder"/} needs $dll," \
        "which is neither in the package nor part of Windows" >&2
      bad=1
    fi
  done < <("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
[ "$bad" = 0 ]
