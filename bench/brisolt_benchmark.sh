#!/bin/sh
# Times Brisolt's batch mode on a 1000 x 1000 x 1000 Boolean model (lambda 0.0001, R = 10,
# uniform radii 2 to 8: about 10^5 balls), generated and written as one data set of 1000
# slices. Usage: bench/brisolt_benchmark.sh [BUILD_DIR] [OUTPUT_PARENT]
set -eu

build=${1:-build}
brisolt="$build/bin/Brisolt"
if [ ! -x "$brisolt" ]; then
    echo "brisolt_benchmark: $brisolt not found; build first" >&2
    exit 1
fi
out=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/brisolt-bench-XXXXXX")
trap 'rm -rf "$out"' EXIT

start=$(date +%s.%N)
"$brisolt" --batch --x 1000 --y 1000 --z 1000 --lambda 0.0001 --radius 10 \
    --law Uniform --p1 2 --p2 8 --count 1 --prefix b --out "$out" --seed 1733650000 --yes \
    2>/dev/null
end=$(date +%s.%N)

slices=$(ls "$out/b000" | grep -c "\.pbm$")
bytes=$(du -sb "$out/b000" | cut -f1)
awk -v s="$start" -v e="$end" -v n="$slices" -v b="$bytes" \
    'BEGIN { printf "1000^3 model: %d slices, %d bytes, generated and written in %.2f s\n", n, b, e - s }'
