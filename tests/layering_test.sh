#!/usr/bin/env bash
# The folders of src/ depend downwards only: core -> report -> {batch, print} -> cli -> ui (the
# window computes whole files with quorvel-batch's engine, the Qt-free library of src/cli; nothing
# of src/cli uses the window). Every project include must name a folder below (or the same as)
# the including file's; src/print uses no widgets.
#
#   layering_test.sh SOURCE_FOLDER
set -euo pipefail
src=$1/src

declare -A allowed=(
    [core]="core"
    [report]="core report"
    [batch]="core report batch"
    [print]="core report print"
    [ui]="core report batch print cli ui"
    [cli]="core report batch print cli"
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
    done < <(grep -HnE '^#include "[a-z_]+/' "$folder"*.h "$folder"*.cpp 2>/dev/null || true)
done
if grep -nE '#include <(QWidget|QApplication|QMessageBox|QDialog|QtWidgets)' "$src"/print/*; then
    echo "FAIL: src/print uses widgets" >&2
    status=1
fi
exit $status
