#!/usr/bin/env bash
# The message catalogue and the code agree: every message the code marks (Tr, TrN, TR_NOOP; see
# src/core/messages.h) has its Chinese in po/zh_CN.po, neither empty nor fuzzy; the catalogue
# holds no message the code no longer has; each translation keeps the placeholders {0}, {1}, ...
# of its English.
#
#   messages_test.sh SOURCE_FOLDER WORK_FOLDER
set -euo pipefail
source=$1 work=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in xgettext msgcmp msgexec msgfmt; do
    command -v "$tool" >/dev/null || fail "$tool is missing: install gettext"
done
mkdir -p "$work"
pot=$work/quorvel.pot
po=$source/po/zh_CN.po

cd "$source"
# Its only warnings are about the English texts that carry a ° or a Chinese button's name.
find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort |
    LC_ALL=C.UTF-8 xargs xgettext --from-code=UTF-8 --language=C++ --keyword= --keyword=Tr \
        --keyword=TrN:1,2 --keyword=TR_NOOP --no-location -o "$pot" 2>"$work/xgettext.log" ||
    fail "xgettext: $(cat "$work/xgettext.log")"
[ -s "$pot" ] || fail "xgettext found no messages in src/"

msgfmt --check -o /dev/null "$po" || fail "$po does not compile"
msgcmp "$po" "$pot" || fail "messages of the code without Chinese in $po (above)"
msgcmp --use-untranslated "$pot" "$po" || fail "$po holds messages the code no longer has (above)"

# Placeholders: the sorted {n} of each msgid and its msgstr, compared by a shell per message.
msgexec -i "$po" sh -c '
    [ -z "$MSGEXEC_MSGID" ] && exit 0
    want=$(printf %s "$MSGEXEC_MSGID" | grep -o "{[0-9]}" | sort -u | tr -d "\n")
    got=$(grep -o "{[0-9]}" | sort -u | tr -d "\n")
    [ "$want" = "$got" ] && exit 0
    printf "placeholders %s in the Chinese of \"%s\", %s in its English\n" \
        "${got:-none}" "$MSGEXEC_MSGID" "${want:-none}" >&2
    exit 1' >/dev/null || fail "translations that lose or add placeholders (above)"
echo "$(($(grep -c "^msgid " "$pot") - 1)) messages, all in Chinese"
