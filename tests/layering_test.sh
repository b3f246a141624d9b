#!/usr/bin/env bash
# The folders of src/ depend downwards only: platform -> core -> report -> {batch, print, engine} -> {ui, cli}.
# engine is quorvel-batch's engine without Qt, which the window and the program both use; ui and
# cli, the window and the program, are siblings and use nothing of each other. Every project
# include must name a folder below (or the same as) the including file's, in any subfolder of a
# layer ("engine/<room>/x.h" is engine); src/print uses no widgets. Only src/cli reads a command
# line or runs one: the engine takes typed jobs.
#
#   layering_test.sh SOURCE_FOLDER
set -euo pipefail
src=$1/src

declare -A allowed=(
    [platform]="platform"
    [core]="platform core"
    [report]="platform core report"
    [batch]="platform core report batch"
    [print]="platform core report print"
    [engine]="platform core report engine"
    [ui]="platform core report batch print engine ui"
    [cli]="platform core report batch print engine cli"
)
status=0
for folder in "$src"/*/; do
    layer=$(basename "$folder")
    [ -n "${allowed[$layer]+set}" ] || { echo "FAIL: src/$layer is not in the layering" >&2; status=1; continue; }
    while IFS=: read -r file _ include; do
        target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$include")
        if ! grep -qw -- "$target" <<<"${allowed[$layer]}"; then
            echo "FAIL: ${file#"$1"/} includes $target/, which src/$layer may not use" >&2
            status=1
        fi
    done < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' \) -exec grep -HnE '^#include "[a-z_]+/' {} + || true)
done
if grep -rnE '#include <(QWidget|QApplication|QMessageBox|QDialog|QtWidgets)' "$src"/print; then
    echo "FAIL: src/print uses widgets" >&2
    status=1
fi

# What differs between the systems is said in src/platform only.
while IFS= read -r hit; do
    echo "FAIL: ${hit#"$1"/} asks which system it runs on, which only src/platform does" >&2
    status=1
done < <(grep -rnE --include='*.h' --include='*.cpp' -- '\b(_WIN32|_WIN64|__MINGW32__|__MINGW64__|_MSC_VER|__linux__)\b' "$src" | grep -v "^$src/platform/" || true)

# A command line is read, shown and run in src/cli only.
command_line='\b(ParseArguments|ParseDatumArguments|RunCommand|RunDatumCommand|HelpText|UsageText|UsageError|JobRefused)\b|std::span<const std::string_view> args\b'
while IFS= read -r hit; do
    echo "FAIL: ${hit#"$1"/} reads or runs a command line, which only src/cli does" >&2
    status=1
done < <(grep -rnE --include='*.h' --include='*.cpp' -- "$command_line" "$src" | grep -v "^$src/cli/" || true)
exit $status
