#!/bin/sh
# The README's GNU parallel recipe: 64 data sets, 8 at a time, into one results file, give one
# header and the same rows as talvik run on each in turn.
#
#   sh parallel_data_sets_test.sh BIN_DIR SOURCE_DIR
#
# Exit status 77 (skipped) without GNU parallel.
set -eu
bin=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if ! command -v parallel >/dev/null 2>&1; then
    echo "skipped: GNU parallel is not installed (Debian package parallel)"
    exit 77
fi
work=$(mktemp -d /tmp/talvik-parallel-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}

"$bin/Brisolt" --batch --x 20 --y 20 --z 20 --lambda 0.002 --radius 4 --law Uniform \
    --p1 1 --p2 4 --count 64 --prefix s --out "$work" --seed 11 --yes >/dev/null 2>&1 ||
    fail "Brisolt cannot write the data sets"
cp "$source/examples/balls_r1-5.txt" "$work/balls.txt"

for data_set in "$work"/s*/; do
    "$bin/talvik" /o "$work/sequential.txt" /d "$work/balls.txt" /b "$data_set" /e 2 \
        >/dev/null || fail "talvik fails on $data_set"
done
printf '%s\n' "$work"/s*/ | TALVIK_THREADS=1 parallel --will-cite -j 8 \
    "$bin/talvik" /o "$work/results.txt" /d "$work/balls.txt" /b {} /e 2 >/dev/null ||
    fail "parallel reports failed runs"

[ "$(grep -c '^; Data_set' "$work/results.txt")" -eq 1 ] || fail "not one header"
[ "$(head -n 1 "$work/results.txt")" = "$(head -n 1 "$work/sequential.txt")" ] ||
    fail "the results file does not start with the header"
tail -n +2 "$work/results.txt" | sort >"$work/rows.txt"
tail -n +2 "$work/sequential.txt" | sort >"$work/rows_sequential.txt"
[ "$(wc -l <"$work/rows.txt")" -eq 64 ] || fail "not 64 rows"
cmp -s "$work/rows.txt" "$work/rows_sequential.txt" ||
    fail "the rows differ from the sequential run:
$(diff "$work/rows.txt" "$work/rows_sequential.txt")"
echo "64 data sets, 8 at a time: one header and the same rows as one after the other"
