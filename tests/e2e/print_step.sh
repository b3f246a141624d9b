# Sourced by window_e2e.sh right after its forward batch, under tests/print/with_cups.sh: presses
# "打 印" and reads the job that reaches the default queue back as text. Every row is checked
# against quorvel-batch's results for the same typed points.
click Command4
expect_no_dialog
jobs_dir=${QUORVEL_PRINT_JOBS:?run under tests/print/with_cups.sh}
deadline=$((SECONDS + wait_s))
until compgen -G "$jobs_dir/job-*.pdf" >/dev/null || ((SECONDS >= deadline)); do sleep 0.2; done
job=$(compgen -G "$jobs_dir/job-*.pdf" | head -n 1) || fail "no print job reached the queue"
sleep 0.5  # the copy backend writes the file whole, but give it a moment to close
cp "$job" "$out/printed.pdf"
mapfile -t printed < <(pdftotext -layout "$job" - | tr -d '\f' | tr -s ' ' | sed 's/^ //; s/ $//' | grep -v '^$')

expected=(
    "大地正算( 共2 个点 )"
    "中央子午线经度 : Lo= 117 ( 度,分,秒 )"
    "序号 L B X Y"
)
batch_tool=$(dirname "$program")/quorvel-batch
i=0
while IFS=, read -r _ l b x y; do
    i=$((i + 1))
    expected+=("$i : $l $b $x $y")
done < <(printf 'P1,117.2000,30.1500\nP2,116.3045,30.3030\n' | "$batch_tool" forward --lo 117 |
    tail -n +2 | tr -d '\r' | awk -F, '{ printf "%s,%.8f,%.8f,%s,%s\n", $1, $2, $3, $4, $5 }' |
    sed 's/,0\./,./')
[ "$i" -eq 2 ] || fail "quorvel-batch gave $i rows for the two typed points"

if [ "${printed[*]}" != "${expected[*]}" ]; then
    printf 'printed:  %s\n' "${printed[@]}" >&2
    printf 'expected: %s\n' "${expected[@]}" >&2
    fail "the printed report differs from the batch that was typed"
fi
echo "the printed job holds the title, the meridian line, the headings and both rows"
