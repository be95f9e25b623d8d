#!/bin/bash
# Benchmark table of the estimator: the word-parallel talvik against the voxel-by-voxel one on
# the same workloads, stage by stage.
#   bench/run_benchmarks.sh [BUILD_DIR] [--quick]
# --quick leaves out the 512^3 literal run (about two minutes) and the 1000^3 workload.
set -euo pipefail

build=${1:-build}
quick=no
[ "${2:-}" = "--quick" ] || [ "${1:-}" = "--quick" ] && quick=yes
[ "$build" = "--quick" ] && build=build
bin="$build/bin"
data="$build/bench-data"
mkdir -p "$data"

for tool in make_workload talvik_stages; do
    [ -x "$bin/$tool" ] || { echo "missing $bin/$tool: build first (make build)" >&2; exit 1; }
done

# Balls files with their correction values stored, filled in by talvik itself once.
balls_file() {
    local first=$1 last=$2 file="$data/balls_r$1-$2.txt"
    if [ ! -f "$file" ]; then
        "$bin/make_workload" balls "$file.tmp" "$first" "$last"
        "$bin/make_workload" boolean "$data/tiny" 16 16 16 0.3 1 3 1
        "$bin/talvik_stages" fast /d "$file.tmp" /b "$data/tiny" /e 1 >/dev/null 2>&1 || true
        mv "$file.tmp" "$file"
    fi
    echo "$file"
}

data_set() {
    local side=$1 dir="$data/boolean$1"
    [ -d "$dir" ] || "$bin/make_workload" boolean "$dir" "$side" "$side" "$side" 0.3 2 8 "$side"
    echo "$dir"
}

# Runs one engine; prints "load de xe shells fit total peak" and keeps its results.
run_engine() {
    local engine=$1 out=$2; shift 2
    local line
    line=$("$bin/talvik_stages" "$engine" "$@" 2>&1 >"$out" | grep '^stages ')
    echo "$line" | sed -E 's/stages load=([^ ]*) de=([^ ]*) xe=([^ ]*) shells=([^ ]*) fit=([^ ]*) total=([^ ]*) peak_mb=([^ ]*)/\1 \2 \3 \4 \5 \6 \7/'
}

strip_stamps() { sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}: //'; }

printf '%-10s %-9s %-8s | %-44s | %-44s | %s\n' "data set" "balls" "epsilon" \
    "talvik: load de Xe shells fit total(s) peak(MB)" \
    "literal: load de Xe shells fit total(s) peak(MB)" "speed-up, same output"

row() {
    local label=$1 balls_label=$2 epsilon=$3 balls=$4 dir=$5 literal=$6
    local work="$data/work"
    mkdir -p "$work"
    cp "$balls" "$work/fast_balls.txt"
    cp "$balls" "$work/literal_balls.txt"
    local fast lit="-" ratio="-" same="-"
    fast=$(run_engine fast "$work/fast.out" /v /d "$work/fast_balls.txt" /b "$dir" /e "$epsilon")
    if [ "$literal" = yes ]; then
        lit=$(run_engine literal "$work/literal.out" /v /d "$work/literal_balls.txt" /b "$dir" /e "$epsilon")
        ratio=$(awk -v a="$(echo "$fast" | cut -d' ' -f6)" -v b="$(echo "$lit" | cut -d' ' -f6)" \
            'BEGIN { printf "%.0fx", b / a }')
        # Verbose output, time stamps aside, and the rewritten balls files.
        if cmp -s <(strip_stamps <"$work/fast.out") <(strip_stamps <"$work/literal.out") &&
            cmp -s "$work/fast_balls.txt" "$work/literal_balls.txt"; then
            same=yes
        else
            same=NO
        fi
    fi
    printf '%-10s %-9s %-8s | %-44s | %-44s | %s %s\n' "$label" "$balls_label" "$epsilon" \
        "$fast" "$lit" "$ratio" "$same"
}

r15=$(balls_file 1 5)
r110=$(balls_file 1 10)
row "128^3" "r 1-5" 1 "$r15" "$(data_set 128)" yes
row "256^3" "r 1-5" 1 "$r15" "$(data_set 256)" yes
row "256^3" "r 1-5" 5 "$r15" "$(data_set 256)" yes
if [ "$quick" = no ]; then
    row "512^3" "r 1-5" 1 "$r15" "$(data_set 512)" yes
    row "1000^3" "r 1-10" 10 "$r110" "$(data_set 1000)" no
else
    row "512^3" "r 1-5" 1 "$r15" "$(data_set 512)" no
fi

# Correction values computed from scratch: the balls files without their values.
"$bin/make_workload" balls "$data/r1.txt" 1 1
"$bin/make_workload" balls "$data/r5.txt" 5 5
"$bin/make_workload" balls "$data/r10.txt" 10 10
for r in 1 5 10; do
    literal=no
    [ "$r" != 10 ] && [ "$quick" = no ] && literal=yes
    [ "$r" = 1 ] && literal=yes
    # One ball cannot be fitted: the run stops after the value is computed and written back.
    row "16^3" "r $r, no de" 1 "$data/r$r.txt" "$data/tiny" "$literal"
done
